// `nacrelle panel`: the map's editor panel, built headless and driven by
// user actions given in order.
#include <CLI/CLI.hpp>
#include <imtl.h>

#include <platform/command_line.h>
#include <platform/desktop.h>
#include <panels/panels.h>
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
#include "app/session/panel_editor.h"

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

/// The panel itself and the panels added to it (the output filter's), in
/// the order they are shown.
std::vector<standin::HeadlessPanel*> panelsOf(standin::HeadlessPanel& panel) {
    std::vector<standin::HeadlessPanel*> panels{&panel};
    for (int i = 0; i < panel.NumDlgs(); ++i) {
        if (standin::HeadlessPanel* added = standin::AsHeadlessPanel(panel.GetDlg(i))) {
            panels.push_back(added);
        }
    }
    return panels;
}

/// The first of the panels that has a control `id`; the main panel when none
/// has, so that its error names the control.
standin::HeadlessPanel& panelWith(standin::HeadlessPanel& panel, int id) {
    for (standin::HeadlessPanel* p : panelsOf(panel)) {
        if (p->RolloutWith(id) != nullptr) return *p;
    }
    return panel;
}

void apply(standin::HeadlessPanel& mainPanel, const std::string& action) {
    const std::size_t colon = action.find(':');
    const std::string verb = action.substr(0, colon);
    const std::string rest = colon == std::string::npos ? "" : action.substr(colon + 1);
    standin::InputResult result;
    if (verb == "type") {
        const std::size_t equals = rest.find('=');
        if (equals == std::string::npos) {
            throw BadValue("--type \"" + rest + "\": expected ID=TEXT");
        }
        const int id = controlId(rest.substr(0, equals), "--type");
        result = panelWith(mainPanel, id).TypeText(id, rest.substr(equals + 1));
    } else if (verb == "click") {
        const int id = controlId(rest, "--click");
        result = panelWith(mainPanel, id).ClickCheckBox(id);
    } else if (verb == "select") {
        const std::size_t equals = rest.find('=');
        if (equals == std::string::npos) {
            throw BadValue("--select \"" + rest + "\": expected ID=ITEM");
        }
        const int id = controlId(rest.substr(0, equals), "--select");
        const int item = static_cast<int>(parseInteger(rest.substr(equals + 1), "--select"));
        result = panelWith(mainPanel, id).SelectItem(id, item);
    } else if (verb == "press") {
        const int id = controlId(rest, "--press");
        result = panelWith(mainPanel, id).PressButton(id);
    } else {
        throw BadValue("unknown panel action \"" + action + "\"");
    }
    if (!result) throw BadValue("--" + verb + " " + rest + ": " + result.error);
}

nlohmann::json describeControl(const standin::ControlView& c) {
    nlohmann::json control = {{"id", c.id},
                              {"class", c.className},
                              {"text", c.text},
                              {"rect", {c.rect.x, c.rect.y, c.rect.cx, c.rect.cy}},
                              {"enabled", c.enabled},
                              {"visible", c.visible}};
    if (c.param >= 0) {
        if (c.number) {
            control["value"] = *c.number;
        } else if (c.name) {
            control["value"] = *c.name;
        }
    }
    if (c.kind == standin::ControlKind::DropDown) control["items"] = c.items;
    return control;
}

/// The controls of the panel and of the panels added to it.
nlohmann::json controlsOf(standin::HeadlessPanel& mainPanel) {
    nlohmann::json controls = nlohmann::json::array();
    for (standin::HeadlessPanel* panel : panelsOf(mainPanel)) {
        for (int r = 0; r < panel->NumRollouts(); ++r) {
            for (const standin::ControlView& c : panel->Rollout(r).Controls()) {
                controls.push_back(describeControl(c));
            }
        }
    }
    return controls;
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

    PanelEditor editor(t);
    PanelCloser closer{map->CreateParamDlg(nullptr, &editor)};
    auto* panel = dynamic_cast<standin::HeadlessPanel*>(closer.dlg);
    if (panel == nullptr) throw Failure("the map built no panel");
    panel->SetTime(t);
    for (const std::string& action : command.actions) apply(*panel, action);

    if (command.json) {
        const nlohmann::json out = {{"controls", controlsOf(*panel)}, {"opened", opened}};
        std::printf("%s\n", out.dump(2).c_str());
    } else {
        std::printf("%s", panel->DumpText().c_str());
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
