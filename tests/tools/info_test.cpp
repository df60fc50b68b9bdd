// `nacrelle info`: the module's identity and its parameter table, and where
// the program finds the module.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "program_run.h"

namespace nacrelle::tools::testing {
namespace {

struct ParameterRow {
    int id;
    const char* scriptName;
    const char* displayName;
    const char* type;
    nlohmann::json defaultValue;
    nlohmann::json range;
    bool animatable;
};

// The "Min:" row (ID 0) is "thicknessmax" to scripts and the "Max:" row
// "thicknessmin": stored scripts use these names.
const ParameterRow kParameters[] = {
    {0, "thicknessmax", "ThicknessMin", "float", 250.0, {0.0, 3000.0}, true},
    {1, "thicknessmin", "ThicknessMax", "float", 350.0, {0.0, 3000.0}, true},
    {2, "nmedium", "nMedium", "float", 1.0, {0.2, 100.0}, true},
    {3, "nfilm", "nFilm", "float", 1.5, {0.2, 100.0}, true},
    {4, "ninternal", "nInternal", "float", 1.0, {0.2, 100.0}, true},
    {5, "thicknessmap", "ThicknessMap", "texmap", nullptr, nullptr, false},
    {6, "thicknessmapenabled", "UseThicknessMap", "bool", false, nullptr, false},
    {7, "gamma", "Gamma", "float", 1.0, {0.05, 20.0}, true},
    {8, "hue", "HueShift", "float", 0.0, {-180.0, 180.0}, true},
    {9, "sat", "Saturation", "float", 0.0, {-100.0, 100.0}, true},
    {10, "output", "Output", "reftarg", nullptr, nullptr, false},
};

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

TEST_F(Info, JsonHoldsEveryParameter) {
    const nlohmann::json info = nlohmann::json::parse(runOk({"info", "--json"}).out);
    const nlohmann::json& parameters = info["parameters"];
    ASSERT_EQ(parameters.size(), std::size(kParameters)) << parameters.dump(2);
    for (std::size_t i = 0; i < std::size(kParameters); ++i) {
        const ParameterRow& want = kParameters[i];
        const nlohmann::json& got = parameters[i];
        SCOPED_TRACE(want.scriptName);
        EXPECT_EQ(got["id"], want.id);
        EXPECT_EQ(got["scriptName"], want.scriptName);
        EXPECT_EQ(got["displayName"], want.displayName);
        EXPECT_EQ(got["type"], want.type);
        EXPECT_EQ(got["default"], want.defaultValue);
        EXPECT_EQ(got["range"], want.range);
        EXPECT_EQ(got["animatable"], want.animatable);
    }
}

TEST_F(Info, TextShowsTheSameTable) {
    const RunResult result = runOk({"info"});
    EXPECT_NE(result.out.find("(0x53E2B189, 0x7502736B)"), std::string::npos) << result.out;
    for (const ParameterRow& row : kParameters) {
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
