// `nacrelle match`: the colour of a known film, as the loaded map renders it
// (`nacrelle eval`), comes back as that film; a colour no film makes gets
// honest distances; the best film lands in a scene; the chart marks the
// orders where the fringe-order definition puts them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <numbers>
#include <string>
#include <vector>

#include "png_file.h"
#include "program_run.h"

namespace nacrelle::tools::testing {
namespace {

std::string nineDigits(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

class MatchTest : public ProgramTest {
protected:
    /// The linear colour (r,g,b) that `eval` gives for a constant film of
    /// `thickness` nm seen at `angle` degrees, with `settings`.
    std::string colourOfFilm(std::vector<std::string> settings, double thickness, double angle) {
        const float cosine = static_cast<float>(std::cos(angle * std::numbers::pi / 180.0));
        settings.insert(settings.begin(), {"eval", "--json", "--cosine", nineDigits(cosine),
                                           "--use-map", "off", "--set",
                                           "thicknessmax=" + nineDigits(thickness)});
        const nlohmann::json colour = nlohmann::json::parse(runOk(settings).out);
        return nineDigits(colour["r"].get<double>()) + "," + nineDigits(colour["g"].get<double>()) +
               "," + nineDigits(colour["b"].get<double>());
    }

    nlohmann::json match(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "match");
        arguments.push_back("--json");
        return nlohmann::json::parse(runOk(arguments).out);
    }
};

struct KnownFilm {
    std::vector<std::string> settings;
    double thickness;  ///< nm
    double angle;      ///< degrees
};

TEST_F(MatchTest, TheColourOfAKnownFilmComesBackAsTheFirstCandidate) {
    const KnownFilm films[] = {
        {{}, 250.0, 0.0},
        {{}, 612.5, 40.0},
        {{"--set", "hue=35", "--set", "sat=-20", "--set", "gamma=1.6"}, 380.0, 20.0},
        {{"--preset", "soap-bubble"}, 420.0, 0.0},
        {{"--preset", "soap-bubble"}, 305.0, 60.0},
        {{"--preset", "anodised-titanium"}, 75.0, 45.0},
        {{"--preset", "tempered-steel"}, 48.0, 0.0},
    };
    for (const KnownFilm& film : films) {
        SCOPED_TRACE(::testing::PrintToString(film.settings) + " " + nineDigits(film.thickness) +
                     " nm at " + nineDigits(film.angle));
        std::vector<std::string> arguments = film.settings;
        arguments.insert(arguments.begin(),
                         {colourOfFilm(film.settings, film.thickness, film.angle), "--angle",
                          nineDigits(film.angle)});
        const nlohmann::json found = match(arguments);
        ASSERT_FALSE(found["candidates"].empty());
        const nlohmann::json& first = found["candidates"][0];
        EXPECT_NEAR(first["thickness"].get<double>(), film.thickness, 0.5);
        EXPECT_LT(first["deltaE"].get<double>(), 0.5);
        EXPECT_EQ(first["judgement"], "exact");
    }
}

TEST_F(MatchTest, AVariedIndexFindsAFilmOfTheColour) {
    const std::string colour = colourOfFilm({"--set", "nfilm=2.1"}, 330.0, 0.0);
    const nlohmann::json found = match({colour, "--vary", "nfilm=1.3:2.6"});
    const nlohmann::json& first = found["candidates"][0];
    EXPECT_LT(first["deltaE"].get<double>(), 0.5);
    // The optical path, which sets the colour, is the film's.
    EXPECT_NEAR(first["opticalPath"].get<double>(), 2.0 * 2.1 * 330.0, 10.0);
    EXPECT_GE(first["nfilm"].get<double>(), 1.3);
    EXPECT_LE(first["nfilm"].get<double>(), 2.6);
}

TEST_F(MatchTest, AnIndexRangeMayReachTheParametersOwnBounds) {
    // 0.2 is the indices' lowest value as typed, though no double is 0.2f.
    const nlohmann::json found = match({"#8a52c8", "--vary", "nmedium=0.2:0.25"});
    EXPECT_GE(found["candidates"][0]["nmedium"].get<double>(), 0.2f);
}

TEST_F(MatchTest, AColourNoFilmMakesGetsHonestDistances) {
    // A saturated pure green: a pale soap film comes nowhere near it.
    const nlohmann::json found = match({"#00ff00", "--preset", "soap-bubble"});
    const nlohmann::json& candidates = found["candidates"];
    ASSERT_EQ(candidates.size(), 5u);
    double previous = 0.0;
    for (const nlohmann::json& candidate : candidates) {
        EXPECT_GT(candidate["deltaE"].get<double>(), 10.0);
        EXPECT_GE(candidate["deltaE"].get<double>(), previous);
        EXPECT_EQ(candidate["judgement"], "far");
        previous = candidate["deltaE"].get<double>();
    }
}

TEST_F(MatchTest, ApplyWritesTheBestFilmIntoTheScene) {
    runOk({"scene", "new", "film.nscene", "--preset", "soap-bubble"});
    const nlohmann::json found = match({"#6a3fa0", "--apply", "film.nscene", "--strip", "s.png"});
    const nlohmann::json& first = found["candidates"][0];
    const nlohmann::json scene =
        nlohmann::json::parse(runOk({"scene", "show", "film.nscene", "--json"}).out)["map"];
    EXPECT_EQ(scene["parameters"]["thicknessmax"]["value"], first["thickness"]);
    EXPECT_EQ(scene["parameters"]["thicknessmapenabled"]["value"], false);
    // Kept, for switching back on.
    EXPECT_FALSE(scene["thicknessMap"].is_null());
    // The scene renders the candidate's colour.
    const nlohmann::json colour = nlohmann::json::parse(
        runOk({"eval", "--scene", "film.nscene", "--cosine", "1", "--json"}).out);
    EXPECT_FLOAT_EQ(colour["r"].get<float>(), first["colour"]["linear"][0].get<float>());
    EXPECT_FLOAT_EQ(colour["b"].get<float>(), first["colour"]["linear"][2].get<float>());
    // The strip: the target's swatch first, in the target's own colour.
    const PngImage strip = readPng(file("s.png"));
    EXPECT_EQ(strip.at(20, 20, 0), 0x6a);
    EXPECT_EQ(strip.at(20, 20, 1), 0x3f);
    EXPECT_EQ(strip.at(20, 20, 2), 0xa0);
}

TEST_F(MatchTest, TheChartMarksWhereTheSecondOrderBegins) {
    // Head on, order 2 begins where the optical path 2 n d holds one wave of
    // 510 nm: d = 510 / (2 x 1.5) = 170 nm on the default film.
    runOk({"chart", "--orders", "--width", "664", "--height", "296", "-o", "orders.png"});
    const PngImage chart = readPng(file("orders.png"));
    const int plotLeft = 64, plotTop = 44, plotWidth = 664 - 64 - 24, plotHeight = 296 - 44 - 52;
    const int column = plotLeft + static_cast<int>(std::lround(170.0 / 1000.0 * plotWidth - 0.5));
    const int row = plotTop + plotHeight - 2;  // a dotted row, 0.3 degrees up
    int ink = 0;
    for (int x = column - 1; x <= column + 1; ++x) ink += chart.at(x, row, 0) == 231 ? 1 : 0;
    EXPECT_EQ(ink, 1);
}

}  // namespace
}  // namespace nacrelle::tools::testing
