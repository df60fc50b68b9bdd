// `nacrelle info`: the module's identity and its parameter table.
#include <CLI/CLI.hpp>
#include <platform/command_line.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <memory>
#include <string>
#include <utility>

#include "cli/command_registration.h"
#include "app/session/host_session.h"
#include "app/session/json_values.h"
#include "app/session/module_description.h"

namespace nacrelle::tools {

namespace {

struct InfoCommand {
    bool json = false;
};

std::string text(const nlohmann::json& value) {
    if (value.is_null()) return "-";
    if (value.is_number_float()) return floatText(value.get<float>());
    return value.dump();
}

void printParameters(const nlohmann::json& parameters) {
    std::printf("%3s  %-20s  %-24s  %-8s  %8s  %-16s  %s\n", "ID", "script name", "display name",
                "type", "default", "range", "animatable");
    for (const nlohmann::json& p : parameters) {
        const std::string range = p["range"].is_null()
                                      ? "-"
                                      : text(p["range"][0]) + " to " + text(p["range"][1]);
        std::printf("%3d  %-20s  %-24s  %-8s  %8s  %-16s  %s\n", p["id"].get<int>(),
                    p["scriptName"].get<std::string>().c_str(),
                    p["displayName"].get<std::string>().c_str(),
                    p["type"].get<std::string>().c_str(), text(p["default"]).c_str(),
                    range.c_str(), p["animatable"].get<bool>() ? "yes" : "no");
    }
}

}  // namespace

int runInfo(const CommonOptions& common, const InfoCommand& command) {
    HostSession session(findModule(standin::PathFromUtf8(common.plugin)));
    const nlohmann::json info = describeModule(session);
    if (command.json) {
        std::printf("%s\n", info.dump(2).c_str());
        return 0;
    }
    std::printf("file         %s\n", info["file"].get<std::string>().c_str());
    std::printf("version      %s (release %d)\n", info["version"].get<std::string>().c_str(),
                info["release"].get<int>());
    std::printf("description  %s\n", info["description"].get<std::string>().c_str());
    std::printf("class name   %s\n", info["className"].get<std::string>().c_str());
    std::printf("category     %s\n", info["category"].get<std::string>().c_str());
    std::printf("class ID     (%s, %s)\n", info["classID"]["partA"].get<std::string>().c_str(),
                info["classID"]["partB"].get<std::string>().c_str());
    std::printf("super class  %s\n", info["superClass"].get<std::string>().c_str());
    std::string requirements;
    for (const nlohmann::json& name : info["requirements"]) {
        requirements += (requirements.empty() ? "" : ", ") + name.get<std::string>();
    }
    std::printf("requires     %s\n", requirements.empty() ? "-" : requirements.c_str());
    std::printf("output       %s\n\n",
                info["outputMeaningful"].get<bool>() ? "meaningful" : "not meaningful");
    printParameters(info["parameters"]);
    // What the map itself does with values that scripts and scene files may
    // store outside the ranges above, which limit the panel only.
    std::printf("\nranges limit the panel; a script or a file may store any value, and the\n"
                "map takes a basemetal outside 0 to 8 as the dielectric base (\"Internal:\"),\n"
                "a switch as on for any integer but 0, and every float as stored\n");
    for (const nlohmann::json& map : info["thicknessMaps"]) {
        std::printf("\nthickness map --thickness-map %s (%s), set with --map-set\n",
                    map["kind"].get<std::string>().c_str(),
                    map["className"].get<std::string>().c_str());
        printParameters(map["parameters"]);
    }
    std::printf("\noutput filter (%s), set with --output\n",
                info["outputFilter"]["className"].get<std::string>().c_str());
    printParameters(info["outputFilter"]["parameters"]);
    return 0;
}

void addInfoCommand(CLI::App& app, const CommonOptions& common, int& result) {
    auto info = std::make_shared<InfoCommand>();
    auto* infoApp = app.add_subcommand("info", "Show the module's class and parameters");
    infoApp->add_flag("--json", info->json, "Print one JSON object");
    infoApp->callback([info, &common, &result] { result = runInfo(common, *info); });
}

}  // namespace nacrelle::tools
