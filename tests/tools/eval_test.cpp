// `nacrelle eval` against the core's colour function: the loaded map, driven
// through the command line, must give the very same bits.
#include <gtest/gtest.h>
#include <maps/output_filter.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "core/film_colour.h"
#include "map_reference.h"
#include "program_run.h"

namespace nacrelle::tools::testing {
namespace {

/// r, g, b, a and mono as the program printed them.
using Printed = std::map<std::string, float>;

struct Expected {
    float r, g, b, a, mono;
};

/// The map's answer for one sample: the core's colour, the output filter,
/// and mono as the mean of the filtered channels.
Expected expectedColour(float cosine, float m, const FilmStack& stack, const ColourAdjust& adjust,
                        const standin::OutputFilterSettings& filter) {
    const Colour film = filmColour(cosine, m, stack, adjust);
    const AColor c = standin::FilterColour(filter, AColor(film.r, film.g, film.b, film.a));
    return {c.r, c.g, c.b, c.a, (c.r + c.g + c.b) / 3.0f};
}

Printed parseText(const std::string& out) {
    Printed values;
    std::istringstream lines(out);
    std::string name, number;
    while (lines >> name >> number) {
        char* end = nullptr;
        values[name] = std::strtof(number.c_str(), &end);
        EXPECT_EQ(*end, '\0') << "not a number: " << number;
    }
    return values;
}

Printed parseJson(const std::string& out) {
    const nlohmann::json object = nlohmann::json::parse(out);
    Printed values;
    for (const auto& [name, value] : object.items()) {
        // Nine significant digits name one float; the double nearest them
        // rounds back to it.
        values[name] = static_cast<float>(value.get<double>());
    }
    return values;
}

void expectBits(const Printed& printed, const Expected& expected) {
    const std::map<std::string, float> want = {{"r", expected.r},
                                               {"g", expected.g},
                                               {"b", expected.b},
                                               {"a", expected.a},
                                               {"mono", expected.mono}};
    ASSERT_EQ(printed.size(), want.size());
    for (const auto& [name, value] : want) {
        ASSERT_TRUE(printed.contains(name)) << name;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(printed.at(name)),
                  std::bit_cast<std::uint32_t>(value))
            << name << ": printed " << printed.at(name) << ", core gives " << value;
    }
}

struct EvalCase {
    const char* name;
    std::vector<std::string> arguments;
    float cosine;
    float m = 0.0f;
    std::function<void(FilmStack&, ColourAdjust&, standin::OutputFilterSettings&)> settings = {};
};

void PrintTo(const EvalCase& c, std::ostream* os) { *os << c.name; }

const EvalCase kEvalCases[] = {
    {"HeadOn", {"--cosine", "1"}, 1.0f},
    {"AtAnAngle", {"--cosine", "0.5"}, 0.5f},
    {"Grazing", {"--cosine", "0"}, 0.0f},
    {"CosineWithManyDigits", {"--cosine", "0.123456789"}, static_cast<float>(0.123456789)},
    {"Indices",
     {"--cosine", "0.8", "--set", "nmedium=1.33", "--set", "nfilm=2.1", "--set", "ninternal=1.7"},
     0.8f,
     0.0f,
     [](FilmStack& s, ColourAdjust&, auto&) {
         s.nMedium = 1.33f;
         s.nFilm = 2.1f;
         s.nInternal = 1.7f;
     }},
    {"ColourAdjustment",
     {"--cosine", "0.9", "--set", "hue=45", "--set", "sat=-30", "--set", "gamma=2.2"},
     0.9f,
     0.0f,
     [](FilmStack&, ColourAdjust& a, auto&) {
         a = {45.0f, -30.0f, 2.2f};
     }},
    {"NegativeHueMoreSaturationLowGamma",
     {"--cosine", "0.3", "--set", "hue=-120.5", "--set", "sat=40", "--set", "gamma=0.5"},
     0.3f,
     0.0f,
     [](FilmStack&, ColourAdjust& a, auto&) {
         a = {-120.5f, 40.0f, 0.5f};
     }},
    {"ThicknessMapValue", {"--cosine", "0.7", "--map-value", "0.25"}, 0.7f, 0.25f},
    {"ThicknessMapValueExtrapolates",
     {"--cosine", "0.6", "--map-value", "1.5", "--set", "thicknessmin=900"},
     0.6f,
     1.5f,
     [](FilmStack& s, ColourAdjust&, auto&) { s.thicknessMax = 900.0f; }},
    {"ThicknessMapSwitchedOff",
     {"--cosine", "0.7", "--map-value", "0.8", "--use-map", "off"},
     0.7f},
    {"NormalAndView", {"--normal", "0,0,1", "--view", "0.6,0,-0.8"}, 0.8f},
    {"NormalAndViewSideways", {"--normal", "0,1,0", "--view", "0.8,-0.6,0"}, 0.6f},
    {"SeenFromBehind", {"--normal", "0,0,1", "--view", "0,0,1"}, 1.0f},
    {"VectorsOfAnyLength", {"--normal", "0,0,2", "--view", "0,0,-3"}, 1.0f},
    {"KeyAtItsFrame",
     {"--cosine", "0.9", "--key", "hue@10=90", "--frame", "10"},
     0.9f,
     0.0f,
     [](FilmStack&, ColourAdjust& a, auto&) { a.hueShift = 90.0f; }},
    {"KeyBeforeItsFrame", {"--cosine", "0.9", "--key", "hue@10=90", "--frame", "0"}, 0.9f},
    {"TimeInTicks",
     {"--cosine", "0.9", "--key", "sat@10=50", "--time", "1600"},
     0.9f,
     0.0f,
     [](FilmStack&, ColourAdjust& a, auto&) { a.saturationOffset = 50.0f; }},
    {"ThicknessKey",
     {"--cosine", "1", "--key", "thicknessmax@20=600", "--frame", "20"},
     1.0f,
     0.0f,
     [](FilmStack& s, ColourAdjust&, auto&) { s.thicknessMin = 600.0f; }},
    {"OutputLevelAndOffset",
     {"--cosine", "0.5", "--output", "rgblevel=0.5", "--output", "rgboffset=0.1"},
     0.5f,
     0.0f,
     [](FilmStack&, ColourAdjust&, standin::OutputFilterSettings& f) {
         f.rgbLevel = 0.5f;
         f.rgbOffset = 0.1f;
     }},
    {"OutputInvertAndAmount",
     {"--cosine", "0.5", "--output", "invert=on", "--output", "outputamount=0.7"},
     0.5f,
     0.0f,
     [](FilmStack&, ColourAdjust&, standin::OutputFilterSettings& f) {
         f.invert = true;
         f.outputAmount = 0.7f;
     }},
    {"OutputClampAndAlphaFromRgb",
     {"--cosine", "0.2", "--output", "rgblevel=3", "--output", "clamp=on", "--output",
      "alphafromrgb=on"},
     0.2f,
     0.0f,
     [](FilmStack&, ColourAdjust&, standin::OutputFilterSettings& f) {
         f.rgbLevel = 3.0f;
         f.clamp = true;
         f.alphaFromRgb = true;
     }},
};

class EvalAgreesWithCore : public ProgramTest, public ::testing::WithParamInterface<EvalCase> {};

TEST_P(EvalAgreesWithCore, BitForBitInTextAndJson) {
    const EvalCase& c = GetParam();
    FilmStack stack = defaultStack();
    ColourAdjust adjust = defaultAdjust();
    standin::OutputFilterSettings filter;
    if (c.settings) c.settings(stack, adjust, filter);
    const Expected expected = expectedColour(c.cosine, c.m, stack, adjust, filter);

    std::vector<std::string> arguments{"eval"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const RunResult text = runOk(arguments);
    expectBits(parseText(text.out), expected);

    arguments.push_back("--json");
    const RunResult json = runOk(arguments);
    expectBits(parseJson(json.out), expected);
}

INSTANTIATE_TEST_SUITE_P(Eval, EvalAgreesWithCore, ::testing::ValuesIn(kEvalCases),
                         [](const auto& info) { return std::string(info.param.name); });

using EvalThickness = ProgramTest;

// Scripts know the "Min:" row as "thicknessmax": setting it moves the
// thickness at map value 0, and leaves the one at map value 1 alone.
TEST_F(EvalThickness, ThicknessmaxSetsTheMinimumThickness) {
    FilmStack stack = defaultStack();
    stack.thicknessMin = 100.0f;
    const standin::OutputFilterSettings filter;
    const Expected atZero = expectedColour(1.0f, 0.0f, stack, defaultAdjust(), filter);
    const Expected atOne = expectedColour(1.0f, 1.0f, stack, defaultAdjust(), filter);

    expectBits(parseText(runOk({"eval", "--cosine", "1", "--set", "thicknessmax=100"}).out),
               atZero);
    expectBits(
        parseText(
            runOk({"eval", "--cosine", "1", "--set", "thicknessmax=100", "--map-value", "0"}).out),
        atZero);
    expectBits(
        parseText(
            runOk({"eval", "--cosine", "1", "--set", "thicknessmax=100", "--map-value", "1"}).out),
        atOne);
    // And the default colour is another one, so the setting did take.
    const Expected defaults = expectedColour(1.0f, 0.0f, defaultStack(), defaultAdjust(), filter);
    EXPECT_NE(std::bit_cast<std::uint32_t>(atZero.g), std::bit_cast<std::uint32_t>(defaults.g));
}

TEST_F(EvalThickness, ThicknessminSetsTheMaximumThickness) {
    FilmStack stack = defaultStack();
    stack.thicknessMax = 100.0f;
    const standin::OutputFilterSettings filter;
    expectBits(
        parseText(
            runOk({"eval", "--cosine", "1", "--set", "thicknessmin=100", "--map-value", "1"}).out),
        expectedColour(1.0f, 1.0f, stack, defaultAdjust(), filter));
}

TEST_F(EvalThickness, JsonHoldsExactlyTheFiveKeys) {
    const nlohmann::json object =
        nlohmann::json::parse(runOk({"eval", "--cosine", "0.5", "--json"}).out);
    ASSERT_TRUE(object.is_object());
    std::vector<std::string> keys;
    for (const auto& [key, value] : object.items()) {
        keys.push_back(key);
        EXPECT_TRUE(value.is_number()) << key;
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "b", "g", "mono", "r"}));
}

// eval samples at the origin with texture coordinates (0, 0, 0): a gradient
// gives its start value there, and noise with equal thresholds of 0 gives 1.
TEST_F(EvalThickness, ThicknessMapSettingsReachTheSubMap) {
    const standin::OutputFilterSettings filter;
    expectBits(parseText(runOk({"eval", "--cosine", "0.8", "--thickness-map", "gradient",
                                "--map-set", "start=0.3"})
                             .out),
               expectedColour(0.8f, 0.3f, defaultStack(), defaultAdjust(), filter));
    expectBits(parseText(runOk({"eval", "--cosine", "0.8", "--thickness-map", "noise", "--map-set",
                                "thresholdlow=0", "--map-set", "thresholdhigh=0"})
                             .out),
               expectedColour(0.8f, 1.0f, defaultStack(), defaultAdjust(), filter));
    expectBits(parseText(runOk({"eval", "--cosine", "0.8", "--thickness-map", "gradient",
                                "--map-set", "start=0.3", "--use-map", "off"})
                             .out),
               expectedColour(0.8f, 0.0f, defaultStack(), defaultAdjust(), filter));
}


// --terms shows what the core computes for the sample: the thickness the map
// value blends to, and each wavelength's reflectance to the bit.
TEST_F(EvalThickness, TermsAreTheCoresForTheSample) {
    const nlohmann::json terms =
        nlohmann::json::parse(runOk({"eval", "--cosine", "0.6", "--thickness-map", "gradient",
                                     "--map-set", "start=0.25", "--terms", "--json"})
                                  .out)["terms"];
    const FilmStack stack = defaultStack();
    const float d = filmThickness(0.25f, stack);
    EXPECT_EQ(terms["thickness"].get<float>(), d);
    for (const auto& [channel, lambda] : {std::pair{"red", kWavelengthRed},
                                          {"green", kWavelengthGreen},
                                          {"blue", kWavelengthBlue}}) {
        const float expected =
            filmReflectance(0.6f, lambda, d, stack.nMedium, stack.nFilm, stack.nInternal);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(terms[channel]["reflectance"].get<float>()),
                  std::bit_cast<std::uint32_t>(expected))
            << channel;
    }
}

// With the spectrum but half-wave phases, a film whose index lies between
// its neighbours gets a note that only physical phases give its real
// reflectance; with physical phases, or a film outside its neighbours, none.
TEST_F(EvalThickness, TermsNoteWhenSpectralSumsTheHalfWaveModelOfAFilmBetweenItsNeighbours) {
    struct Case {
        std::vector<std::string> settings;
        bool note;
    };
    const Case cases[] = {
        {{"spectral=1", "nfilm=1.38", "ninternal=1.52"}, true},
        {{"spectral=1", "nfilm=1.38", "ninternal=1.52", "physicalphase=1"}, false},
        {{"spectral=1", "nfilm=1.33", "ninternal=1.0"}, false},
        {{"spectral=0", "nfilm=1.38", "ninternal=1.52"}, false},
    };
    for (const Case& k : cases) {
        std::vector<std::string> command{"eval", "--cosine", "1", "--terms"};
        for (const std::string& setting : k.settings) {
            command.insert(command.end(), {"--set", setting});
        }
        const std::string text = runOk(command).out;
        command.push_back("--json");
        const nlohmann::json terms = nlohmann::json::parse(runOk(command).out)["terms"];
        SCOPED_TRACE(text);
        EXPECT_EQ(terms.contains("note"), k.note);
        EXPECT_EQ(text.find("note ") != std::string::npos, k.note);
        if (k.note) {
            EXPECT_NE(terms["note"].get<std::string>().find("physicalphase"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace nacrelle::tools::testing
