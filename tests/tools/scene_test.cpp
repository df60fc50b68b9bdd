// `nacrelle scene new|show|set|render`: what is saved is what is shown and
// rendered, and a failed change leaves the file alone.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "png_file.h"
#include "program_run.h"

namespace nacrelle::tools::testing {
namespace {

class Scene : public ProgramTest {
protected:
    nlohmann::json show(const std::string& scene) const {
        const RunResult result = runOk({"scene", "show", scene, "--json"});
        return nlohmann::json::parse(result.out);
    }
    /// The value of parameter `name` of the map (or of its part "thicknessMap"
    /// or "output").
    static nlohmann::json value(const nlohmann::json& shown, const std::string& name,
                                const std::string& part = "") {
        const nlohmann::json& object = part.empty() ? shown["map"] : shown["map"][part];
        return object["parameters"][name]["value"];
    }
};

TEST_F(Scene, NewSavesEveryKindOfSetting) {
    runOk({"scene", "new", "s.nscene", "--set", "nfilm=1.33", "--set", "thicknessmax=120", "--key",
           "hue@10=90", "--thickness-map", "noise", "--map-set", "size=0.3", "--output",
           "rgblevel=0.5"});
    ASSERT_EQ(entries(), std::set<std::string>{"s.nscene"});
    const std::vector<unsigned char> bytes = readBytes("s.nscene");
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "NACSCENE");

    const nlohmann::json shown = show("s.nscene");
    EXPECT_EQ(shown["map"]["class"], "Nacrelle");
    EXPECT_EQ(value(shown, "nfilm"), 1.33);
    EXPECT_EQ(value(shown, "thicknessmax"), 120.0);
    EXPECT_EQ(value(shown, "thicknessmin"), 350.0);
    EXPECT_EQ(value(shown, "thicknessmapenabled"), true);
    const nlohmann::json keys = shown["map"]["parameters"]["hue"]["keys"];
    ASSERT_TRUE(keys.is_array()) << shown.dump(2);
    EXPECT_EQ(keys.back(), (nlohmann::json{{"frame", 10.0}, {"value", 90.0}}));
    ASSERT_TRUE(shown["map"]["thicknessMap"].is_object()) << shown.dump(2);
    EXPECT_EQ(value(shown, "size", "thicknessMap"), 0.3);
    EXPECT_EQ(value(shown, "rgblevel", "output"), 0.5);
    EXPECT_EQ(value(shown, "invert", "output"), false);
}

// data/before-optics.nscene and its frame 10 at 48 pixels were made by the
// release before the physical-optics options: the scene loads with them off
// and renders as that release rendered it.
TEST_F(Scene, SavedBeforeTheOpticsOptionsRendersAsBefore) {
    const std::filesystem::path data = NACRELLE_TOOLS_TEST_DATA;
    std::filesystem::copy_file(data / "before-optics.nscene", file("old.nscene"));
    const nlohmann::json shown = show("old.nscene");
    EXPECT_EQ(value(shown, "spectral"), false);
    EXPECT_EQ(value(shown, "physicalphase"), false);
    EXPECT_EQ(value(shown, "basemetal"), 0);
    EXPECT_EQ(value(shown, "nfilm"), 1.38);
    runOk({"scene", "render", "old.nscene", "--size", "48", "--frame", "10", "-o", "now.png"});
    const PngImage before = readPng(data / "before-optics-frame10.png");
    const PngImage now = readPng(file("now.png"));
    ASSERT_EQ(now.samples.size(), before.samples.size());
#ifdef _WIN32
    // The C runtime's cosf and powf may differ from glibc's in the last bit.
    for (std::size_t i = 0; i < now.samples.size(); ++i) {
        EXPECT_LE(std::abs(now.samples[i] - before.samples[i]), 1) << "sample " << i;
    }
#else
    EXPECT_EQ(now.samples, before.samples);
#endif

    // The options set on it are saved with it.
    runOk({"scene", "set", "old.nscene", "spectral=on", "--set", "physicalphase=on", "--set",
           "basemetal=7"});
    const nlohmann::json changed = show("old.nscene");
    EXPECT_EQ(value(changed, "spectral"), true);
    EXPECT_EQ(value(changed, "physicalphase"), true);
    EXPECT_EQ(value(changed, "basemetal"), 7);
    EXPECT_EQ(value(changed, "hue"), 25.0);
}

TEST_F(Scene, ShowListsEveryParameterInText) {
    runOk({"scene", "new", "s.nscene", "--key", "hue@10=90"});
    const RunResult result = runOk({"scene", "show", "s.nscene"});
    for (const char* name : {"thicknessmax", "thicknessmin", "nmedium", "nfilm", "ninternal",
                             "thicknessmap", "thicknessmapenabled", "gamma", "hue", "sat"}) {
        EXPECT_NE(result.out.find(name), std::string::npos) << name << "\n" << result.out;
    }
    // Keys read the way they are typed: FRAME=VALUE after an '@'.
    EXPECT_NE(result.out.find("@10=90"), std::string::npos) << result.out;
    // In the panel's order (parameter IDs), as info lists them.
    const nlohmann::json info = nlohmann::json::parse(runOk({"info", "--json"}).out);
    std::size_t previous = 0;
    for (const nlohmann::json& parameter : info["parameters"]) {
        const std::string name = parameter["scriptName"];
        const std::size_t at = result.out.find("\n  " + name + " ");
        ASSERT_NE(at, std::string::npos) << name << "\n" << result.out;
        EXPECT_GT(at, previous) << name << " out of order:\n" << result.out;
        previous = at;
    }
}

TEST_F(Scene, SetChangesWhatItNamesAndKeepsTheRest) {
    runOk({"scene", "new", "s.nscene", "--set", "nfilm=1.33", "--thickness-map", "gradient"});
    runOk({"scene", "set", "s.nscene", "gamma=2", "--set", "hue=10", "--key", "sat@5=20",
           "--output", "invert=on", "--map-set", "end=0.5"});
    EXPECT_EQ(entries(), std::set<std::string>{"s.nscene"});
    const nlohmann::json shown = show("s.nscene");
    EXPECT_EQ(value(shown, "gamma"), 2.0);
    EXPECT_EQ(value(shown, "hue"), 10.0);
    EXPECT_EQ(value(shown, "nfilm"), 1.33);
    EXPECT_EQ(shown["map"]["parameters"]["sat"]["keys"].back(),
              (nlohmann::json{{"frame", 5.0}, {"value", 20.0}}));
    EXPECT_EQ(value(shown, "invert", "output"), true);
    EXPECT_EQ(value(shown, "end", "thicknessMap"), 0.5);
    EXPECT_EQ(value(shown, "thicknessmapenabled"), true);
}

TEST_F(Scene, ThicknessMapSwitchRoundTrips) {
    runOk({"scene", "new", "s.nscene", "--thickness-map", "gradient", "--use-map", "off"});
    nlohmann::json shown = show("s.nscene");
    EXPECT_EQ(value(shown, "thicknessmapenabled"), false);
    EXPECT_TRUE(shown["map"]["thicknessMap"].is_object());
    runOk({"scene", "set", "s.nscene", "--use-map", "on"});
    shown = show("s.nscene");
    EXPECT_EQ(value(shown, "thicknessmapenabled"), true);
    EXPECT_TRUE(shown["map"]["thicknessMap"].is_object()) << "switching on kept the map";
}

TEST_F(Scene, RenderGivesTheImageOfTheSameSettings) {
    const std::vector<std::string> settings{
        "--set",     "nfilm=1.4", "--set",           "thicknessmin=700",
        "--key",     "hue@10=60", "--thickness-map", "noise",
        "--map-set", "size=0.4",  "--output",        "rgblevel=0.8"};
    std::vector<std::string> create{"scene", "new", "s.nscene"};
    create.insert(create.end(), settings.begin(), settings.end());
    runOk(create);

    runOk({"scene", "render", "s.nscene", "--size", "48", "--frame", "10", "-o", "scene.png"});
    runOk({"render", "--scene", "s.nscene", "--size", "48", "--frame", "10", "-o", "option.png"});
    std::vector<std::string> direct{"render", "--size", "48", "--frame", "10", "-o", "direct.png"};
    direct.insert(direct.end(), settings.begin(), settings.end());
    runOk(direct);

    EXPECT_EQ(readBytes("scene.png"), readBytes("direct.png"));
    EXPECT_EQ(readBytes("option.png"), readBytes("direct.png"));
    runOk({"render", "--size", "48", "--frame", "10", "-o", "plain.png"});
    EXPECT_NE(readBytes("scene.png"), readBytes("plain.png"));
}

TEST_F(Scene, RenderDoesNotChangeTheScene) {
    runOk({"scene", "new", "s.nscene", "--set", "nfilm=1.4"});
    const std::vector<unsigned char> before = readBytes("s.nscene");
    runOk({"scene", "render", "s.nscene", "--size", "16", "--set", "hue=30", "-o", "r.png"});
    EXPECT_EQ(readBytes("s.nscene"), before);
}

TEST_F(Scene, BitmapThicknessMapRoundTrips) {
    std::vector<std::uint8_t> values(16 * 16);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = (i % 16) < 8 ? 0 : 255;
    writeGreyPng(file("halves.png"), 16, 16, values);
    runOk({"scene", "new", "s.nscene", "--thickness-map", "bitmap:halves.png"});
    const nlohmann::json shown = show("s.nscene");
    const nlohmann::json& map = shown["map"]["thicknessMap"];
    ASSERT_TRUE(map.is_object()) << shown.dump(2);
    ASSERT_TRUE(map.contains("file")) << shown.dump(2);
    EXPECT_NE(map["file"].get<std::string>().find("halves.png"), std::string::npos);

    runOk({"scene", "render", "s.nscene", "--size", "40", "-o", "scene.png"});
    runOk({"render", "--thickness-map", "bitmap:halves.png", "--size", "40", "-o", "direct.png"});
    EXPECT_EQ(readBytes("scene.png"), readBytes("direct.png"));

    // The scene names the bitmap by its full path: it renders the same from
    // another working directory.
    std::filesystem::create_directory(file("elsewhere"));
    const RunResult elsewhere =
        runProgram(programPath(), {"scene", "render", "../s.nscene", "--size", "40", "-o", "e.png"},
                   file("elsewhere"), {{"NACRELLE_PLUGIN", std::nullopt}});
    ASSERT_EQ(elsewhere.exitCode, 0) << describe(elsewhere);
    EXPECT_EQ(readBytes("elsewhere/e.png"), readBytes("direct.png"));
}

TEST_F(Scene, NewReplacesAFileOnlyWhenForced) {
    runOk({"scene", "new", "s.nscene", "--set", "nfilm=1.4"});
    const std::vector<unsigned char> first = readBytes("s.nscene");
    const RunResult refused = run({"scene", "new", "s.nscene", "--set", "nfilm=2"});
    EXPECT_EQ(refused.exitCode, 1) << describe(refused);
    EXPECT_EQ(readBytes("s.nscene"), first);
    runOk({"scene", "new", "s.nscene", "--set", "nfilm=2", "--force"});
    EXPECT_EQ(value(show("s.nscene"), "nfilm"), 2.0);
    EXPECT_EQ(entries(), std::set<std::string>{"s.nscene"});
}

TEST_F(Scene, FailedSetLeavesTheFileAsItWas) {
    runOk({"scene", "new", "s.nscene", "--set", "nfilm=1.4"});
    const std::vector<unsigned char> before = readBytes("s.nscene");
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"scene", "set", "s.nscene", "gamma=2", "nfilm=500"},
             {"scene", "set", "s.nscene", "gamma=2", "bogus=1"},
             {"scene", "set", "s.nscene", "gamma=2", "--output", "rgblevel=x"},
             {"scene", "set", "s.nscene", "gamma=2", "--thickness-map", "bitmap:missing.png"},
         }) {
        const RunResult result = run(arguments);
        EXPECT_NE(result.exitCode, 0) << describe(result);
        EXPECT_EQ(readBytes("s.nscene"), before) << arguments.back();
        EXPECT_EQ(entries(), std::set<std::string>{"s.nscene"}) << arguments.back();
    }
}

}  // namespace
}  // namespace nacrelle::tools::testing
