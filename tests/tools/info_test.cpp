// `nacrelle info`: the module's identity and its parameter table, and where
// the program finds the module.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "program_run.h"

#include "tests/support/module_parameters.h"

namespace nacrelle::tools::testing {
namespace {

using nacrelle::testing::kModuleParameters;
using nacrelle::testing::ModuleParameter;

/// `value` as the block's float: the program prints the shortest decimal
/// that reads back as that float.
float asFloat(const nlohmann::json& value) { return static_cast<float>(value.get<double>()); }

class Info : public ProgramTest {};

TEST_F(Info, JsonHoldsTheIdentity) {
    const nlohmann::json info = nlohmann::json::parse(runOk({"info", "--json"}).out);
    EXPECT_EQ(info["className"], "Nacrelle");
    EXPECT_EQ(info["classID"]["partA"], "0x53E2B189");
    EXPECT_EQ(info["classID"]["partB"], "0x7502736B");
    EXPECT_EQ(info["superClass"], "0xC10");
    EXPECT_EQ(info["category"], "Standard");
    EXPECT_FALSE(info["description"].get<std::string>().empty());
    EXPECT_TRUE(info["version"].is_string());
    EXPECT_EQ(std::filesystem::canonical(info["file"].get<std::string>()),
              std::filesystem::canonical(modulePath()));
}

TEST_F(Info, ListsWhatTheMapAsksOfTheRenderer) {
    // The colour depends on the view: a renderer that skipped the view
    // vector, or the map as meaningless, would shade it wrong.
    const nlohmann::json info = nlohmann::json::parse(runOk({"info", "--json"}).out);
    EXPECT_EQ(info["requirements"], nlohmann::json::array({"MTLREQ_VIEW_DEP"}));
    EXPECT_EQ(info["outputMeaningful"], true);
    const RunResult text = runOk({"info"});
    EXPECT_NE(text.out.find("requires     MTLREQ_VIEW_DEP"), std::string::npos) << text.out;
}

TEST_F(Info, JsonHoldsEveryParameter) {
    const nlohmann::json info = nlohmann::json::parse(runOk({"info", "--json"}).out);
    const nlohmann::json& parameters = info["parameters"];
    ASSERT_EQ(parameters.size(), std::size(kModuleParameters)) << parameters.dump(2);
    for (std::size_t i = 0; i < std::size(kModuleParameters); ++i) {
        const ModuleParameter& want = kModuleParameters[i];
        const nlohmann::json& got = parameters[i];
        SCOPED_TRACE(want.scriptName);
        EXPECT_EQ(got["id"], want.id);
        EXPECT_EQ(got["scriptName"], want.scriptName);
        EXPECT_EQ(got["displayName"], want.displayName);
        EXPECT_EQ(got["type"], want.type);
        if (std::isnan(want.defaultValue)) {
            EXPECT_TRUE(got["default"].is_null());
        } else if (std::string(want.type) == "bool") {
            EXPECT_EQ(got["default"], want.defaultValue != 0.0f);
        } else {
            EXPECT_EQ(asFloat(got["default"]), want.defaultValue);
        }
        if (std::isnan(want.low)) {
            EXPECT_TRUE(got["range"].is_null());
        } else {
            ASSERT_EQ(got["range"].size(), 2u);
            EXPECT_EQ(asFloat(got["range"][0]), want.low);
            EXPECT_EQ(asFloat(got["range"][1]), want.high);
        }
        EXPECT_EQ(got["animatable"], want.animatable);
    }
}

TEST_F(Info, TextShowsTheSameTable) {
    const RunResult result = runOk({"info"});
    EXPECT_NE(result.out.find("(0x53E2B189, 0x7502736B)"), std::string::npos) << result.out;
    for (const ModuleParameter& row : kModuleParameters) {
        EXPECT_NE(result.out.find(row.scriptName), std::string::npos) << row.scriptName;
    }
    EXPECT_NE(result.out.find("0 to 3000"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("-180 to 180"), std::string::npos) << result.out;
}

TEST_F(Info, ModuleFromOptionOrEnvironment) {
    const std::filesystem::path copy = file("Copied.dlt");
    std::filesystem::copy_file(modulePath(), copy);

    const nlohmann::json byOption =
        nlohmann::json::parse(runOk({"--plugin", copy.string(), "info", "--json"}).out);
    EXPECT_EQ(byOption["file"], copy.string());

    const RunResult byVariable = run({"info", "--json"}, {{"NACRELLE_PLUGIN", copy.string()}});
    ASSERT_EQ(byVariable.exitCode, 0) << describe(byVariable);
    EXPECT_EQ(nlohmann::json::parse(byVariable.out)["file"], copy.string());

    // The option wins over the variable.
    const RunResult both = run({"--plugin", copy.string(), "info", "--json"},
                               {{"NACRELLE_PLUGIN", "/nonexistent/Nacrelle.dlt"}});
    ASSERT_EQ(both.exitCode, 0) << describe(both);
}

class Help : public ProgramTest {};

TEST_F(Help, ListsEveryCommandAndSucceeds) {
    const RunResult result = runOk({"--help"});
    for (const char* command : {"render", "chart", "eval", "info", "scene", "panel"}) {
        EXPECT_NE(result.out.find(command), std::string::npos) << command;
    }
    const RunResult render = runOk({"render", "--help"});
    EXPECT_NE(render.out.find("--frames"), std::string::npos) << render.out;
    EXPECT_TRUE(entries().empty());
}

}  // namespace
}  // namespace nacrelle::tools::testing
