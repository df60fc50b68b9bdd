// The command line's smaller promises: --version, --plugin after the command,
// hints for near misses, -o - and default names, frame ranges that sort, a
// removed thickness map, a saved scene evaluated, and what info and scene
// show tell.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>
#include <set>
#include <string>
#include <vector>

#include "png_file.h"
#include "program_run.h"

namespace nacrelle::tools::testing {
namespace {

class CommandLine : public ProgramTest {};

TEST_F(CommandLine, VersionPluginAfterTheCommandAndOutputHint) {
    const RunResult version = runOk({"--version"});
    EXPECT_EQ(version.out.rfind("nacrelle ", 0), 0u) << version.out;

    runOk({"info", "--plugin", modulePath().string()});
    const RunResult missing = run({"info", "--plugin", "nowhere.dlt"});
    EXPECT_EQ(missing.exitCode, 1) << describe(missing);
    EXPECT_NE(missing.err.find("nowhere.dlt"), std::string::npos) << describe(missing);

    const RunResult hint = run({"render", "--output", "foo.png"});
    EXPECT_EQ(hint.exitCode, 2) << describe(hint);
    EXPECT_NE(hint.err.find("use -o foo.png"), std::string::npos) << describe(hint);
}

TEST_F(CommandLine, ImageOnStandardOutputAndSceneRenderNamedAfterTheScene) {
    const RunResult piped = runOk({"render", "--size", "8", "-o", "-"});
    runOk({"render", "--size", "8", "-o", "file.png"});
    const std::vector<unsigned char> written = readBytes("file.png");
    EXPECT_EQ(std::vector<unsigned char>(piped.out.begin(), piped.out.end()), written);

    std::filesystem::create_directory(file("shots"));
    runOk({"scene", "new", "shots/film.nscene"});
    runOk({"scene", "render", "shots/film.nscene", "--size", "8"});
    EXPECT_TRUE(std::filesystem::is_regular_file(file("shots/film.png")));
}

TEST_F(CommandLine, FrameFilesSortInFrameOrder) {
    struct Case {
        const char* frames;
        std::vector<long> order;  // the frames, by their files' names sorted
    };
    for (const Case& c : {Case{"-12--9", {-12, -11, -10, -9}}, Case{"-2-1", {-2, -1, 0, 1}},
                          Case{"9998-10001", {9998, 9999, 10000, 10001}}}) {
        SCOPED_TRACE(c.frames);
        for (const std::string& name : entries()) std::filesystem::remove(file(name));
        // A hue that turns across the range tells the frames apart.
        const std::vector<std::string> keys = {
            "--key", "hue@" + std::to_string(c.order.front()) + "=-180",
            "--key", "hue@" + std::to_string(c.order.back()) + "=180"};
        std::vector<std::string> arguments{"render", "--size", "8", "--frames", c.frames, "-o",
                                           "f.png"};
        arguments.insert(arguments.end(), keys.begin(), keys.end());
        const RunResult result = runOk(arguments);
        EXPECT_NE(result.out.find("wrote frames"), std::string::npos) << result.out;
        const std::set<std::string> names = entries();
        ASSERT_EQ(names.size(), c.order.size());
        std::size_t width = names.begin()->size();
        std::size_t k = 0;
        for (const std::string& name : names) {
            EXPECT_EQ(name.size(), width) << name;
            // Each file holds the frame its place in the sorted list says.
            std::vector<std::string> single{"render", "--size", "8", "--frame",
                                            std::to_string(c.order[k++]), "-o", "single.png"};
            single.insert(single.end(), keys.begin(), keys.end());
            runOk(single);
            EXPECT_EQ(readBytes(name), readBytes("single.png")) << name;
            std::filesystem::remove(file("single.png"));
        }
    }
}

TEST_F(CommandLine, ThicknessMapRemovedAndSceneEvaluated) {
    runOk({"scene", "new", "s.nscene", "--thickness-map", "noise", "--set", "gamma=2.2"});
    runOk({"scene", "set", "s.nscene", "--thickness-map", "none"});
    const nlohmann::json shown = nlohmann::json::parse(runOk({"scene", "show", "s.nscene", "--json"}).out);
    EXPECT_TRUE(shown["map"]["thicknessMap"].is_null()) << shown.dump(2);
    EXPECT_EQ(shown["map"]["parameters"]["thicknessmapenabled"]["value"], false);

    EXPECT_EQ(runOk({"eval", "--cosine", "0.7", "--scene", "s.nscene", "--json"}).out,
              runOk({"eval", "--cosine", "0.7", "--set", "gamma=2.2", "--json"}).out);
    EXPECT_NE(runOk({"eval", "--cosine", "0.7", "--scene", "s.nscene", "--json"}).out,
              runOk({"eval", "--cosine", "0.7", "--json"}).out);
}

TEST_F(CommandLine, UnkeyRemovesOneKeyAndTheLastLeavesItsValue) {
    runOk({"scene", "new", "s.nscene", "--key", "hue@10=90", "--key", "hue@20=30"});
    const auto hue = [&] {
        return nlohmann::json::parse(runOk({"scene", "show", "s.nscene", "--json"}).out)["map"]
                                          ["parameters"]["hue"];
    };
    const std::size_t keys = hue()["keys"].size();
    runOk({"scene", "set", "s.nscene", "--unkey", "hue@10"});
    EXPECT_EQ(hue()["keys"].size(), keys - 1);
    const RunResult missing = run({"scene", "set", "s.nscene", "--unkey", "hue@10"});
    EXPECT_EQ(missing.exitCode, 2) << describe(missing);
    EXPECT_NE(missing.err.find("20"), std::string::npos) << describe(missing);  // where keys are

    const nlohmann::json left = hue()["keys"];
    for (const nlohmann::json& key : left) {
        if (key["frame"] != 20.0) {
            runOk({"scene", "set", "s.nscene", "--unkey", "hue@" + key["frame"].dump()});
        }
    }
    runOk({"scene", "set", "s.nscene", "--unkey", "hue@20"});
    EXPECT_FALSE(hue().contains("keys")) << hue().dump();
    EXPECT_EQ(hue()["value"], 30.0);
}

TEST_F(CommandLine, InfoAndShowNameWhatTheUserSees) {
    const nlohmann::json info = nlohmann::json::parse(runOk({"info", "--json"}).out);
    // Every kind info lists, with every setting at the top of its range, is
    // one the program takes.
    runOk({"render", "--size", "4", "-o", "grey.png"});
    std::vector<std::string> kinds;
    for (const nlohmann::json& map : info["thicknessMaps"]) {
        const std::string kind = map["kind"];
        kinds.push_back(kind);
        std::vector<std::string> arguments{"render", "--size", "4", "-o", "m.png",
                                           "--thickness-map",
                                           kind == "bitmap:FILE" ? "bitmap:grey.png" : kind};
        for (const nlohmann::json& p : map["parameters"]) {
            arguments.insert(arguments.end(), {"--map-set", p["scriptName"].get<std::string>() +
                                                                "=" + p["range"][1].dump()});
        }
        runOk(arguments);
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"gradient", "noise", "bitmap:FILE"}));
    std::vector<std::string> output{"render", "--size", "4", "-o", "o.png"};
    for (const nlohmann::json& p : info["outputFilter"]["parameters"]) {
        output.insert(output.end(), {"--output", p["scriptName"].get<std::string>() + "=" +
                                                     p["default"].dump()});
    }
    runOk(output);

    // Each parameter shows the label its panel row has, or its display name.
    runOk({"scene", "new", "s.nscene"});
    const std::string text = runOk({"scene", "show", "s.nscene"}).out;
    const nlohmann::json shown =
        nlohmann::json::parse(runOk({"scene", "show", "s.nscene", "--json"}).out)["map"];
    for (const nlohmann::json& p : info["parameters"]) {
        const nlohmann::json& entry = shown["parameters"][p["scriptName"].get<std::string>()];
        const std::string beside = entry.contains("label")
                                       ? "\"" + entry["label"].get<std::string>() + "\""
                                       : "(" + p["displayName"].get<std::string>() + ")";
        EXPECT_NE(text.find(p["scriptName"].get<std::string>() + " "), std::string::npos);
        EXPECT_NE(text.find(beside), std::string::npos) << p.dump();
    }
    // The values stand in one column, counted in characters: labels such as
    // "Hue Shift (±°):" hold characters of two bytes.
    std::istringstream lines(text.substr(text.find('\n', text.find("\nmap ") + 1) + 1));
    std::set<std::size_t> valueColumns;
    for (std::string line; std::getline(lines, line) && line.rfind("  ", 0) == 0;) {
        const std::string before = line.substr(0, line.rfind(' ') + 1);
        valueColumns.insert(static_cast<std::size_t>(std::count_if(
            before.begin(), before.end(), [](unsigned char c) { return (c & 0xC0) != 0x80; })));
    }
    EXPECT_EQ(valueColumns.size(), 1u) << text;
    // The rows the panel calls Min and Max, which scripts call the other way round.
    EXPECT_EQ(shown["parameters"]["thicknessmax"]["label"], "Min:");
    EXPECT_EQ(shown["parameters"]["thicknessmin"]["label"], "Max:");
}

TEST_F(CommandLine, EveryCommandThatRendersRefusesTheSameThreadCounts) {
    const std::vector<std::string> commands[] = {{"render", "-o", "x.png"},
                                                  {"chart", "-o", "x.png"},
                                                  {"gallery", "-o", "x.png"},
                                                  {"studio"}};
    for (const auto& command : commands) {
        for (const char* threads : {"-1", "257"}) {
            std::vector<std::string> args = command;
            args.insert(args.end(), {"--threads", threads});
            const RunResult refused = run(args);
            EXPECT_EQ(refused.exitCode, 2) << describe(refused);
            EXPECT_EQ(refused.err.rfind("nacrelle: --threads " + std::string(threads) +
                                            " must lie between 0 (one per core) and 256",
                                        0),
                      0u)
                << describe(refused);
        }
    }
}

}  // namespace
}  // namespace nacrelle::tools::testing
