// `nacrelle panel`: the map's editor panel, built headless and driven by
// user actions given in order.
#include <CLI/CLI.hpp>
#include <platform/command_line.h>
#include <platform/desktop.h>
#include <platform/shell.h>

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_registration.h"
#include "cli/preset_commands.h"
#include "common/errors.h"
#include "app/session/host_session.h"
#include "cli/map_options.h"
#include "app/session/map_panels.h"

namespace nacrelle::tools {

namespace {

struct PanelCommand {
    MapOptions map;
    std::string scene;
    std::vector<std::string> actions;  ///< in order: type:ID=TEXT, click:ID, select:ID=ITEM, press:ID
    bool json = false;
    bool openPages = false;
};

int controlId(const std::string& text, const std::string& action) {
    return static_cast<int>(parseInteger(text, action));
}

void apply(MapPanels& panels, const std::string& action) {
    const std::size_t colon = action.find(':');
    const std::string verb = action.substr(0, colon);
    const std::string rest = colon == std::string::npos ? "" : action.substr(colon + 1);
    PanelInput input{verb, {}, 0, 0};
    int id = 0;
    if (verb == "type") {
        const std::size_t equals = rest.find('=');
        if (equals == std::string::npos) {
            throw BadValue("--type \"" + rest + "\": expected ID=TEXT");
        }
        id = controlId(rest.substr(0, equals), "--type");
        input.text = rest.substr(equals + 1);
    } else if (verb == "click") {
        id = controlId(rest, "--click");
    } else if (verb == "select") {
        const std::size_t equals = rest.find('=');
        if (equals == std::string::npos) {
            throw BadValue("--select \"" + rest + "\": expected ID=ITEM");
        }
        id = controlId(rest.substr(0, equals), "--select");
        input.item = static_cast<int>(parseInteger(rest.substr(equals + 1), "--select"));
    } else if (verb == "press") {
        id = controlId(rest, "--press");
    } else {
        throw BadValue("unknown panel action \"" + action + "\"");
    }
    try {
        panels.inputOnControl(id, input);
    } catch (const BadValue& refused) {
        throw BadValue("--" + verb + " " + rest + ": " + refused.what());
    }
}

}  // namespace

int runPanel(const CommonOptions& common, const PanelCommand& command) {
    const MapSettings settings = toSettings(command.map);
    const TimeValue t = timeOf(command.map);

    HostSession session(findModule(standin::PathFromUtf8(common.plugin)));
    Texmap* map = nullptr;
    if (command.scene.empty()) {
        map = &session.createMap();
    } else {
        session.loadScene(standin::PathFromUtf8(command.scene));
        map = session.findMap();
        if (map == nullptr) throw Failure("scene \"" + command.scene + "\" holds no Nacrelle map");
    }
    applySettings(*map, settings, t);

    std::vector<std::string> opened;
    std::vector<std::string> notOpened;  // with why
    standin::ScopedShellHandler shell([&](std::string address) {
        if (!command.openPages) {
            opened.push_back(address);
            return;
        }
        const std::string problem = standin::OpenInBrowser(address);
        if (problem.empty()) {
            opened.push_back(address);
        } else {
            notOpened.push_back(address + ": " + problem);
        }
    });

    MapPanels panels(session.moduleResources(), t, false);
    panels.open(*map);
    for (const std::string& action : command.actions) apply(panels, action);

    if (command.json) {
        const nlohmann::json out = {{"controls", panels.controls()}, {"opened", opened}};
        std::printf("%s\n", out.dump(2).c_str());
    } else {
        std::printf("%s", panels.dumpText().c_str());
        for (const std::string& address : opened) std::printf("opened %s\n", address.c_str());
    }
    if (!notOpened.empty()) {
        std::string list;
        for (const std::string& entry : notOpened) list += (list.empty() ? "" : "; ") + entry;
        throw Failure("cannot open the page in the browser: " + list);
    }
    return 0;
}

void addPanelCommand(CLI::App& app, const CommonOptions& common, int& result) {
    auto panel = std::make_shared<PanelCommand>();
    auto* panelApp = app.add_subcommand("panel", "Build the map's editor panel and drive it");
    addMapOptions(*panelApp, panel->map);
    panelApp->add_option("--scene", panel->scene, "Show the map of this scene file")
        ->excludes(addPresetOption(*panelApp, panel->map));
    const auto record = [panel](const char* verb) {
        return [panel, verb](const std::string& value) {
            panel->actions.push_back(std::string(verb) + ":" + value);
        };
    };
    panelApp->add_option_function<std::string>("--type", record("type"),
                                                "Type text into an edit control")
        ->type_name("ID=TEXT")
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    panelApp->add_option_function<std::string>("--click", record("click"), "Click a check box")
        ->type_name("ID")
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    panelApp->add_option_function<std::string>(
                "--select", record("select"),
                "Pick an item (counted from 0) of a drop-down list")
        ->type_name("ID=ITEM")
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    panelApp->add_option_function<std::string>("--press", record("press"), "Press a button")
        ->type_name("ID")
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    panelApp->add_flag("--json", panel->json, "Print one JSON object");
    panelApp->add_flag("--open", panel->openPages, "Open pages that buttons ask for in the browser");
    panelApp->callback([=, &common, &result] { result = runPanel(common, *panel); });
}

}  // namespace nacrelle::tools
