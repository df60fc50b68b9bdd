// `nacrelle scene new|show|set|render`: scene files holding a map.
#include <CLI/CLI.hpp>
#include <platform/command_line.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/command_registration.h"
#include "cli/preset_commands.h"
#include "cli/command_render.h"
#include "common/errors.h"
#include "app/session/host_session.h"
#include "app/session/json_values.h"
#include "cli/map_options.h"
#include "app/session/map_settings.h"
#include "app/document/scene_lock.h"
#include "cli/write_policy.h"

namespace nacrelle::tools {

namespace {

struct SceneCommand {
    std::string action;          ///< new | show | set | render
    std::string file;
    std::vector<std::string> assignments;  ///< scene set FILE NAME=VALUE ...
    MapOptions map;
    bool json = false;
    bool force = false;          ///< new: replace an existing file; set: a read-only one
    RenderCommand render;
};

Texmap& sceneMap(HostSession& session, const std::string& file) {
    session.loadScene(standin::PathFromUtf8(file));
    Texmap* map = session.findMap();
    if (map == nullptr) throw Failure("scene \"" + file + "\" holds no Nacrelle map");
    return *map;
}

/// Characters that `text` (UTF-8) shows: every byte but continuation bytes.
std::size_t shownWidth(const std::string& text) {
    std::size_t width = 0;
    for (const unsigned char c : text) width += (c & 0xC0) != 0x80 ? 1 : 0;
    return width;
}

/// `text` followed by spaces up to `width` shown characters, and one more.
std::string column(const std::string& text, std::size_t width) {
    return text + std::string(width - std::min(width, shownWidth(text)) + 1, ' ');
}

void printParameters(const nlohmann::ordered_json& object, const char* indent) {
    // Columns as wide as their widest entry, in characters, not bytes: labels
    // such as "Hue Shift (±°):" hold characters of two bytes.
    std::vector<std::pair<std::string, std::string>> rows;  // name, label
    std::size_t nameWidth = 20, labelWidth = 18;
    for (const auto& [name, entry] : object["parameters"].items()) {
        // What the panel's label says, else the parameter's display name.
        const std::string display =
            entry.contains("label")         ? "\"" + entry["label"].get<std::string>() + "\""
            : entry.contains("displayName") ? "(" + entry["displayName"].get<std::string>() + ")"
                                            : "";
        nameWidth = std::max(nameWidth, shownWidth(name));
        labelWidth = std::max(labelWidth, shownWidth(display));
        rows.emplace_back(name, display);
    }
    for (const auto& [name, display] : rows) {
        const nlohmann::ordered_json& entry = object["parameters"][name];
        std::printf("%s%s%s%s", indent, column(name, nameWidth).c_str(),
                    column(display, labelWidth).c_str(), entry["value"].dump().c_str());
        if (entry.contains("keys")) {
            // As they are typed: NAME@FRAME=VALUE.
            std::printf("   keys:");
            for (const nlohmann::ordered_json& key : entry["keys"]) {
                std::printf(" @%s=%s", formatNumber(key["frame"].get<double>()).c_str(),
                            formatNumber(key["value"].get<double>()).c_str());
            }
        }
        std::printf("\n");
    }
}

void show(const std::string& file, Texmap& map, bool json) {
    nlohmann::ordered_json description = describeMap(map);
    if (json) {
        // JSON is UTF-8: bytes of a file name that are not become U+FFFD there.
        const nlohmann::ordered_json shown = {{"file", file}, {"map", description}};
        std::printf(
            "%s\n",
            shown.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
        return;
    }
    std::printf("scene %s\nmap %s\n", file.c_str(),
                description["class"].get<std::string>().c_str());
    printParameters(description, "  ");
    for (const char* part : {"thicknessMap", "output"}) {
        if (description[part].is_null()) {
            std::printf("%s: none\n", part);
            continue;
        }
        std::printf("%s: %s\n", part, description[part]["class"].get<std::string>().c_str());
        for (const char* extra : {"file", "imageError"}) {
            if (description[part].contains(extra)) {
                std::printf("  %-20s %s\n", extra,
                            description[part][extra].get<std::string>().c_str());
            }
        }
        printParameters(description[part], "  ");
    }
}

}  // namespace

int runScene(const CommonOptions& common, const SceneCommand& command) {
    MapSettings settings = toSettings(command.map);
    for (const std::string& text : command.assignments) {
        settings.values.push_back(parseAssignment(text));
    }
    if (command.action != "set" && !command.assignments.empty()) {
        throw BadValue("NAME=VALUE arguments belong to \"scene set\"; use --set with \"scene " +
                         command.action + "\"");
    }
    if (command.action == "set" && settings.empty()) {
        throw BadValue("scene set: nothing to set (NAME=VALUE ...)");
    }
    RenderCommand render = command.render;
    render.map = command.map;
    if (render.image.file.empty()) {
        render.image.file =
            standin::PathToUtf8(standin::PathFromUtf8(command.file).replace_extension(".png"));
    }
    if (command.action == "render") checkRenderCommand(render);
    (void)timeOf(command.map);

    HostSession session(findModule(standin::PathFromUtf8(common.plugin)));
    if (command.action == "new") {
        const std::filesystem::path file = standin::PathFromUtf8(command.file);
        // A name the system cannot look up (one too long) is left to the
        // save, which says what is wrong with it.
        std::error_code unknown;
        const bool replacing = std::filesystem::is_regular_file(file, unknown);
        if (std::filesystem::exists(file, unknown) && !command.force) {
            throw Failure("\"" + command.file + "\" exists already (--force replaces it)");
        }
        // Replacing a scene waits for an edit in progress, as another edit
        // does: the edit's save would otherwise undo the replacement.
        std::optional<SceneLock> lock;
        if (replacing) lock.emplace(file, sceneLockWait());
        Texmap& map = session.createMap();
        applySettings(map, settings, timeOf(command.map));
        session.saveScene(file, commandWritePolicy(command.force));
        return 0;
    }
    // An edit holds the scene from reading to saving: another edit meanwhile
    // would be lost.
    std::optional<SceneLock> lock;
    if (command.action == "set") lock.emplace(standin::PathFromUtf8(command.file), sceneLockWait());
    Texmap& map = sceneMap(session, command.file);
    if (command.action == "show") {
        show(command.file, map, command.json);
    } else if (command.action == "set") {
        applySettings(map, settings, timeOf(command.map));
        session.saveScene(standin::PathFromUtf8(command.file),
                          commandWritePolicy(command.force));
    } else if (command.action == "render") {
        render.scene = command.file;  // an input: never the output
        return renderMap(map, render);
    } else {
        throw BadValue("unknown scene action \"" + command.action + "\"");
    }
    return 0;
}

void addSceneCommand(CLI::App& app, const CommonOptions& common, int& result) {
    auto scene = std::make_shared<SceneCommand>();
    auto* sceneApp = app.add_subcommand("scene", "Create, show, change and render scene files");
    sceneApp->require_subcommand(1);
    auto* sceneNew = sceneApp->add_subcommand("new", "Create a scene file holding a map");
    sceneNew->add_flag(kForceFlag, scene->force, "Replace an existing file, even a read-only one");
    addPresetOption(*sceneNew, scene->map);
    auto* sceneShow = sceneApp->add_subcommand("show", "Show the map of a scene file");
    sceneShow->add_flag("--json", scene->json, "Print one JSON object");
    auto* sceneSet = sceneApp->add_subcommand("set", "Change values of a scene file's map");
    sceneSet->add_flag(kForceFlag, scene->force,
                       "Change a read-only scene file (where you may delete it) or one with "
                       "several hard links");
    auto* sceneRender = sceneApp->add_subcommand("render", "Render the map of a scene file");
    addRenderOptions(*sceneRender, scene->render);
    for (CLI::App* sub : {sceneNew, sceneShow, sceneSet, sceneRender}) {
        sub->add_option("file", scene->file, "Scene file")->required();
        if (sub != sceneShow) addMapOptions(*sub, scene->map);
        sub->callback([scene, sub, sceneRender, &common, &result] {
            scene->action = sub->get_name();
            // Without -o a scene's render is named after the scene.
            if (sub == sceneRender && sub->get_option("-o")->count() == 0) {
                scene->render.image.file.clear();
            }
            result = runScene(common, *scene);
        });
    }
    sceneSet->add_option("--unkey", scene->map.unkey, "Remove the key of a parameter (repeatable)")
        ->type_name("NAME@FRAME");
    sceneSet->add_option("assignments", scene->assignments, "Values to set")
        ->type_name("NAME=VALUE");
}

}  // namespace nacrelle::tools
