// nacrelle: renders, inspects, edits and saves the Nacrelle texture map,
// loaded from disk into the stand-in host.
#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <exception>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/command_line.h"
#include "platform/desktop.h"
#include "params/typed_number.h"
#include "tools/cli/commands.h"
#include "tools/common/errors.h"
#include "tools/cli/image_output.h"
#include "tools/cli/preset_commands.h"
#include "tools/cli/standard_output.h"
#ifdef NACRELLE_WITH_STUDIO
#include "tools/studio/command_studio.h"
#endif

namespace nacrelle::tools {
namespace {

void addMapOptions(CLI::App& app, MapOptions& map) {
    app.add_option("--set", map.set, "Set a parameter by script name (repeatable)")
        ->type_name("NAME=VALUE");
    app.add_option("--key", map.key, "Set a key of an animated parameter (repeatable)")
        ->type_name("NAME@FRAME=VALUE");
    app.add_option("--thickness-map", map.thicknessMap,
                   "Plug a thickness map into the map and switch it on")
        ->type_name("gradient|noise|bitmap:FILE|none");
    app.add_option("--map-set", map.mapSet, "Set a parameter of the thickness map (repeatable)")
        ->type_name("NAME=VALUE");
    app.add_option("--use-map", map.useMap, "Switch the thickness map on or off")
        ->type_name("on|off");
    app.add_option("--output", map.outputSet,
                   "Set an output-filter setting: outputamount, rgblevel, rgboffset, invert, "
                   "clamp, alphafromrgb (repeatable)")
        ->type_name("NAME=VALUE");
    auto* frame = app.add_option("--frame", map.frame, "Evaluate at this frame (30 per second)");
    app.add_option("--time", map.time, "Evaluate at this time in ticks (4800 per second)")
        ->excludes(frame);
}

void addRenderOptions(CLI::App& app, RenderCommand& render) {
    addImageOutputOptions(app, render.image);
    app.add_option("--size", render.size, "Width and height in pixels")->capture_default_str();
    app.add_option("--width", render.width, "Width in pixels (overrides --size)");
    app.add_option("--height", render.height, "Height in pixels (overrides --size)");
    app.add_option("--frames", render.frames,
                   "Render every frame of a range, one numbered file each")
        ->type_name("FIRST-LAST");
    app.add_option("--threads", render.threads, "Render threads (0: one per core)")
        ->capture_default_str();
}

/// Reads an option's text with `read`, and hands the command line's own
/// conversion the value in a form it reads exactly: a whole number in
/// decimal (its conversion would take "010" as octal), any other number in
/// hexadecimal floating point (no second rounding). The error of `read`
/// otherwise.
template <typename Number>
CLI::Validator typedNumberReader(bool (*read)(std::string_view, Number&, std::string&)) {
    return CLI::Validator(
        [read](std::string& text) {
            Number value{};
            std::string error;
            if (!read(text, value, error)) return error;
            if constexpr (std::is_integral_v<Number>) {
                text = std::to_string(value);
            } else {
                char exact[40];
                std::snprintf(exact, sizeof exact, "%a", value);
                text = exact;
            }
            return std::string();
        },
        "");
}

/// Has every numeric option of `app` and its commands read as typed numbers
/// are everywhere (params/typed_number.h): the command line's own
/// conversion would take hexadecimal, octal and "inf".
void readNumbersAsTyped(CLI::App& app) {
    const CLI::Validator number = typedNumberReader(standin::ReadTypedNumber);
    const CLI::Validator integer = typedNumberReader(standin::ReadTypedInteger);
    for (CLI::Option* option : app.get_options()) {
        const std::string type = option->get_type_name();
        if (type == "FLOAT") option->transform(number);
        if (type == "INT" || type == "UINT") option->transform(integer);
    }
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
        readNumbersAsTyped(*command);
    }
}

/// The command line's error as one line: what is wrong, and where to look
/// for what is right.
std::string parseErrorMessage(const CLI::App& app, const CLI::ParseError& error) {
    // The command the user got to, e.g. "nacrelle scene new".
    const CLI::App* command = &app;
    std::string path = app.get_name();
    while (!command->get_subcommands().empty()) {
        command = command->get_subcommands().front();
        path += " " + command->get_name();
    }

    std::string message = error.what();
    const std::vector<const CLI::App*> choices =
        command->get_subcommands([](const CLI::App*) { return true; });
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && !choices.empty() &&
        command->get_subcommands().empty()) {
        std::string names;
        for (const CLI::App* choice : choices) {
            names += (names.empty() ? "" : ", ") + choice->get_name();
        }
        const std::vector<std::string> rest = command->remaining();
        message = rest.empty() ? "say which command to run: " + names
                               : "unknown command \"" + rest.front() + "\"; commands: " + names;
    } else if (const std::string prefix = "Could not convert: "; message.rfind(prefix, 0) == 0) {
        // "Could not convert: --size = big"
        const std::string what = message.substr(prefix.size());
        const std::size_t equals = what.find(" = ");
        if (equals != std::string::npos) {
            message = what.substr(0, equals) + ": \"" + what.substr(equals + 3) +
                      "\" is not a valid number";
        }
    } else if (!message.empty()) {
        message[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(message[0])));
    }
    return message + " (see " + path + " --help)";
}

int run(int argc, char** argv) {
    CLI::App app{"Renders, inspects, edits and saves the Nacrelle thin-film texture map.",
                 "nacrelle"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "nacrelle " NACRELLE_VERSION);
    // Options of the program as a whole (--plugin) may follow the command too.
    app.fallthrough();
    CommonOptions common;
    app.add_option("--plugin", common.plugin,
                   "The module to load (default: $NACRELLE_PLUGIN, else Nacrelle.dlt next to "
                   "this program)")
        ->type_name("FILE");

    int result = 0;

    RenderCommand render;
    auto* renderApp = app.add_subcommand("render", "Render the map on a sample sphere (swatch)");
    addMapOptions(*renderApp, render.map);
    addRenderOptions(*renderApp, render);
    renderApp->add_option("--scene", render.scene, "Render the map of this scene file")
        ->excludes(addPresetOption(*renderApp, render.map));
    renderApp->callback([&] { result = runRender(common, render); });

    ChartCommand chart;
    auto* chartApp = app.add_subcommand("chart", "Render a thickness / viewing-angle chart");
    addMapOptions(*chartApp, chart.map);
    addPresetOption(*chartApp, chart.map);
    addImageOutputOptions(*chartApp, chart.image);
    chartApp->add_option("--thickness", chart.thickness, "Thickness range in nm")
        ->type_name("FROM:TO")
        ->capture_default_str();
    chartApp->add_option("--width", chart.width, "Width in pixels")->capture_default_str();
    chartApp->add_option("--height", chart.height, "Height in pixels")->capture_default_str();
    chartApp->add_option("--threads", chart.threads, "Render threads (0: one per core)");
    chartApp->callback([&] { result = runChart(common, chart); });

    EvalCommand eval;
    auto* evalApp = app.add_subcommand("eval", "Print the colour of one sample");
    addMapOptions(*evalApp, eval.map);
    addPresetOption(*evalApp, eval.map);
    evalApp->add_option("--cosine", eval.cosine, "Viewing cosine |N.V| between 0 and 1");
    evalApp->add_option("--normal", eval.normal, "Shading normal (scaled to unit length)")
        ->type_name("X,Y,Z");
    evalApp
        ->add_option("--view", eval.view,
                     "View vector, camera towards the point (scaled to unit length)")
        ->type_name("X,Y,Z");
    evalApp->add_option("--map-value", eval.mapValue,
                        "Plug in a constant thickness map of this value and switch it on");
    evalApp->add_option("--scene", eval.scene, "Evaluate the map of this scene file");
    evalApp->add_flag("--terms", eval.terms,
                      "Also print every intermediate term of the reflectance, per wavelength");
    evalApp->add_flag("--json", eval.json, "Print one JSON object");
    evalApp->callback([&] { result = runEval(common, eval); });

    InfoCommand info;
    auto* infoApp = app.add_subcommand("info", "Show the module's class and parameters");
    infoApp->add_flag("--json", info.json, "Print one JSON object");
    infoApp->callback([&] { result = runInfo(common, info); });

    SceneCommand scene;
    auto* sceneApp = app.add_subcommand("scene", "Create, show, change and render scene files");
    sceneApp->require_subcommand(1);
    auto* sceneNew = sceneApp->add_subcommand("new", "Create a scene file holding a map");
    sceneNew->add_flag("--force", scene.force, "Replace an existing file, even a read-only one");
    addPresetOption(*sceneNew, scene.map);
    auto* sceneShow = sceneApp->add_subcommand("show", "Show the map of a scene file");
    sceneShow->add_flag("--json", scene.json, "Print one JSON object");
    auto* sceneSet = sceneApp->add_subcommand("set", "Change values of a scene file's map");
    sceneSet->add_flag("--force", scene.force,
                       "Change a read-only scene file (where you may delete it) or one with "
                       "several hard links");
    auto* sceneRender = sceneApp->add_subcommand("render", "Render the map of a scene file");
    addRenderOptions(*sceneRender, scene.render);
    for (CLI::App* sub : {sceneNew, sceneShow, sceneSet, sceneRender}) {
        sub->add_option("file", scene.file, "Scene file")->required();
        if (sub != sceneShow) addMapOptions(*sub, scene.map);
        sub->callback([&, sub] {
            scene.action = sub->get_name();
            // Without -o a scene's render is named after the scene.
            if (sub == sceneRender && sub->get_option("-o")->count() == 0) {
                scene.render.image.file.clear();
            }
            result = runScene(common, scene);
        });
    }
    sceneSet->add_option("--unkey", scene.map.unkey, "Remove the key of a parameter (repeatable)")
        ->type_name("NAME@FRAME");
    sceneSet->add_option("assignments", scene.assignments, "Values to set")
        ->type_name("NAME=VALUE");

    PanelCommand panel;
    auto* panelApp = app.add_subcommand("panel", "Build the map's editor panel and drive it");
    addMapOptions(*panelApp, panel.map);
    panelApp->add_option("--scene", panel.scene, "Show the map of this scene file")
        ->excludes(addPresetOption(*panelApp, panel.map));
    const auto record = [&panel](const char* verb) {
        return [&panel, verb](const std::string& value) {
            panel.actions.push_back(std::string(verb) + ":" + value);
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
    panelApp->add_option_function<std::string>("--press", record("press"), "Press a button")
        ->type_name("ID")
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    panelApp->add_flag("--json", panel.json, "Print one JSON object");
    panelApp->add_flag("--open", panel.openPages, "Open pages that buttons ask for in the browser");
    panelApp->callback([&] { result = runPanel(common, panel); });

    addPresetCommands(app, common, result);
#ifdef NACRELLE_WITH_STUDIO
    StudioCommand studio;
    auto* studioApp =
        app.add_subcommand("studio", "Edit the map in a browser: its panel and a live swatch");
    studioApp->add_option("scene", studio.scene,
                          "Scene file to edit (opened when it exists, else where Save writes)");
    studioApp->add_option("--port", studio.port, "Port on 127.0.0.1 (0: any free port)")
        ->capture_default_str();
    studioApp->add_flag("--open", studio.open, "Open the page in the browser");
    studioApp->add_option("--threads", studio.threads, "Render threads (0: one per core)");
    studioApp->callback([&] { result = runStudio(common, studio); });
#endif

    readNumbersAsTyped(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help ends here too, and prints the help with exit code 0.
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            return app.exit(error);
        }
        throw UsageError(parseErrorMessage(app, error));
    }
    return result;
}

}  // namespace
}  // namespace nacrelle::tools

int main(int argc, char** argv) {
    using namespace nacrelle::tools;
    standin::GuardStandardStreams();
    int exitCode = kExitFailure;
    try {
        // UTF-8 on every platform: Windows hands argv over in its ANSI code page.
        std::vector<std::string> arguments = standin::Utf8Arguments(argc, argv);
        std::vector<char*> pointers;
        for (std::string& argument : arguments) pointers.push_back(argument.data());
        pointers.push_back(nullptr);
        exitCode = run(static_cast<int>(arguments.size()), pointers.data());
    } catch (const UsageError& error) {
        std::fprintf(stderr, "nacrelle: %s\n", error.what());
        exitCode = kExitUsage;
    } catch (const Failure& error) {
        std::fprintf(stderr, "nacrelle: %s\n", error.what());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "nacrelle: %s\n", error.what());
    }
    return finishStandardOutput(exitCode);
}
