// `nacrelle panel`: the map's editor panel built headless and driven by the
// actions given, in order.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "program_run.h"

namespace nacrelle::tools::testing {
namespace {

// Control IDs of the map's dialog.
constexpr int kMinEdit = 1490;
constexpr int kMinSpinner = 1496;
constexpr int kMaxEdit = 1491;
constexpr int kMaxSpinner = 1497;
constexpr int kFilmEdit = 1494;
constexpr int kMapButton = 1002;
constexpr int kUseMapCheckBox = 1003;
constexpr int kHomepageButton = 1008;

class Panel : public ProgramTest {
protected:
    nlohmann::json panel(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), "panel");
        arguments.push_back("--json");
        return nlohmann::json::parse(runOk(arguments).out);
    }
    /// The control `id` of a panel's JSON (fails the test when missing).
    static nlohmann::json control(const nlohmann::json& shown, int id) {
        for (const nlohmann::json& c : shown["controls"]) {
            if (c["id"] == id) return c;
        }
        ADD_FAILURE() << "no control " << id;
        return nlohmann::json::object();
    }
};

TEST_F(Panel, MaxControlsAreUnavailableUntilTheCheckBoxIsClicked) {
    const nlohmann::json before = panel({});
    for (int id : {kMaxEdit, kMaxSpinner, kMapButton}) {
        EXPECT_EQ(control(before, id)["enabled"], false) << id;
    }
    for (int id : {kMinEdit, kMinSpinner, kUseMapCheckBox}) {
        EXPECT_EQ(control(before, id)["enabled"], true) << id;
    }
    EXPECT_EQ(control(before, kUseMapCheckBox)["value"], 0);

    const nlohmann::json after = panel({"--click", std::to_string(kUseMapCheckBox)});
    for (int id : {kMaxEdit, kMaxSpinner, kMapButton}) {
        EXPECT_EQ(control(after, id)["enabled"], true) << id;
    }
    EXPECT_EQ(control(after, kUseMapCheckBox)["value"], 1);

    // A second click makes them unavailable again.
    const nlohmann::json twice = panel({"--click", "1003", "--click", "1003"});
    EXPECT_EQ(control(twice, kMaxEdit)["enabled"], false);
}

TEST_F(Panel, SwitchSetOnTheCommandLineMakesThemAvailable) {
    const nlohmann::json shown = panel({"--set", "thicknessmapenabled=on"});
    EXPECT_EQ(control(shown, kMaxEdit)["enabled"], true);
    EXPECT_EQ(control(shown, kUseMapCheckBox)["value"], 1);
}

TEST_F(Panel, ControlsCarryTheirState) {
    const nlohmann::json shown = panel({});
    ASSERT_TRUE(shown["controls"].is_array());
    for (const nlohmann::json& c : shown["controls"]) {
        for (const char* key : {"id", "class", "text", "rect", "enabled", "visible"}) {
            EXPECT_TRUE(c.contains(key)) << key << " missing in " << c.dump();
        }
        EXPECT_EQ(c["rect"].size(), 4u) << c.dump();
    }
    const nlohmann::json minEdit = control(shown, kMinEdit);
    EXPECT_EQ(minEdit["text"], "250");
    EXPECT_EQ(minEdit["value"], 250.0);
    EXPECT_EQ(minEdit["visible"], true);
    EXPECT_EQ(control(shown, kMapButton)["value"], "None");
    EXPECT_TRUE(shown["opened"].is_array());
    EXPECT_TRUE(shown["opened"].empty());
}

TEST_F(Panel, TypedTextSetsTheParameter) {
    const nlohmann::json shown = panel({"--type", "1490=123", "--set", "nfilm=1.4"});
    EXPECT_EQ(control(shown, kMinEdit)["value"], 123.0);
    EXPECT_EQ(control(shown, kMinEdit)["text"], "123");
    EXPECT_EQ(control(shown, kMinSpinner)["value"], 123.0);
    EXPECT_EQ(control(shown, kFilmEdit)["value"], 1.4f);
}

TEST_F(Panel, ActionsApplyInTheOrderGiven) {
    const nlohmann::json shown = panel({"--click", "1003", "--type", "1491=500"});
    EXPECT_EQ(control(shown, kMaxEdit)["value"], 500.0);
    const RunResult refused = run({"panel", "--type", "1491=500", "--click", "1003"});
    EXPECT_EQ(refused.exitCode, 2) << describe(refused);
}

TEST_F(Panel, HomepageButtonAsksToOpenTheAddress) {
#ifdef _WIN32
    GTEST_SKIP() << "the stand-in's recording ShellExecuteW is not built on Windows; the system's is observed in tests/plugin";
#endif
    const nlohmann::json shown = panel({"--press", std::to_string(kHomepageButton)});
    EXPECT_EQ(shown["opened"], nlohmann::json::array({NACRELLE_HOMEPAGE_URL}));

    const RunResult text = runOk({"panel", "--press", "1008"});
    EXPECT_NE(text.out.find(std::string("opened ") + NACRELLE_HOMEPAGE_URL), std::string::npos)
        << text.out;
}

TEST_F(Panel, ShowsTheMapOfAScene) {
    runOk({"scene", "new", "s.nscene", "--set", "thicknessmax=111"});
    const nlohmann::json shown = panel({"--scene", "s.nscene"});
    EXPECT_EQ(control(shown, kMinEdit)["value"], 111.0);
}

TEST_F(Panel, OutputFilterControlsAreListedAndTakeInput) {
    // The output filter's generated panel: RGB level is its second row.
    const nlohmann::json shown = panel({"--type", "2002=0.5"});
    EXPECT_EQ(control(shown, 2002)["value"], 0.5);
}

/// The map's drop-down list (the base of the film), found by its class:
/// the first combo box of the panel with items.
nlohmann::json dropDown(const nlohmann::json& shown) {
    for (const nlohmann::json& c : shown["controls"]) {
        if (c["class"] == "combobox" && c.contains("items")) return c;
    }
    ADD_FAILURE() << "the panel has no drop-down list";
    return nlohmann::json::object();
}

TEST_F(Panel, PickingAnItemOfTheDropDownListSetsItsParameter) {
    const nlohmann::json before = dropDown(panel({}));
    ASSERT_TRUE(before.contains("id"));
    ASSERT_GE(before["items"].size(), 2u);
    EXPECT_EQ(before["value"], 0);
    EXPECT_EQ(before["text"], before["items"][0]);

    const std::string id = std::to_string(before["id"].get<int>());
    const std::size_t last = before["items"].size() - 1;
    const nlohmann::json after =
        dropDown(panel({"--select", id + "=" + std::to_string(last)}));
    EXPECT_EQ(after["value"], last);
    EXPECT_EQ(after["text"], before["items"][last]);

    const RunResult text = runOk({"panel", "--select", id + "=1"});
    EXPECT_NE(text.out.find(" value=1 items=\"" + before["items"][0].get<std::string>() + "\""),
              std::string::npos)
        << text.out;
}

TEST_F(Panel, ASelectionThatCannotBeMadeIsRefused) {
    struct Case {
        std::vector<std::string> arguments;
        const char* message;
    };
    const Case cases[] = {
        {{"--select", "1003=0"}, "control 1003 is no drop-down list"},
        {{"--select", "1003"}, "expected ID=ITEM"},
        {{"--select", "1003=x"}, "--select"},
        {{"--select", "4242=0"}, "4242"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments{"panel"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const RunResult refused = run(arguments);
        EXPECT_EQ(refused.exitCode, 2) << describe(refused);
        EXPECT_NE(refused.err.find(c.message), std::string::npos) << refused.err;
    }
}

}  // namespace
}  // namespace nacrelle::tools::testing
