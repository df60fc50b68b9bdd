// nacrelle: renders, inspects, edits and saves the Nacrelle texture map,
// loaded from disk into the stand-in host.
#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <exception>
#include <string>
#include <type_traits>
#include <vector>

#include <platform/command_line.h>
#include <platform/desktop.h>

#include "app/session/host_session.h"
#include "app/session/value_parser.h"
#include "cli/command_registration.h"
#include "common/errors.h"
#include "cli/standard_output.h"
#include "studio/command_studio.h"

namespace nacrelle::tools {
namespace {

/// Every command, in the order --help lists them.
constexpr AddCommand kCommands[] = {addRenderCommand, addChartCommand,   addEvalCommand,
                                    addMatchCommand,  addInfoCommand,    addSceneCommand,
                                    addPanelCommand,  addPresetCommands, addStudioCommand};

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
    const CLI::Validator number = typedNumberReader(readTypedNumber);
    const CLI::Validator integer = typedNumberReader(readTypedInteger);
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
    // Options start with '-' everywhere: on Windows the command line would
    // otherwise take "/film.nscene", a path from the drive's root, for an option.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", "nacrelle " NACRELLE_VERSION);
    // Options of the program as a whole (--plugin) may follow the command too.
    app.fallthrough();
    CommonOptions common;
    app.add_option("--plugin", common.plugin,
                   "The module to load (default: $NACRELLE_PLUGIN, else Nacrelle.dlt next to "
                   "this program)")
        ->type_name("FILE");

    int result = 0;
    for (const AddCommand add : kCommands) add(app, common, result);
    readNumbersAsTyped(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help ends here too, and prints the help with exit code 0.
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            return app.exit(error);
        }
        throw BadValue(parseErrorMessage(app, error));
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
    } catch (const BadValue& error) {
        std::fprintf(stderr, "nacrelle: %s\n", error.what());
        exitCode = kExitUsage;
    } catch (const Failure& error) {
        std::fprintf(stderr, "nacrelle: %s\n", error.what());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "nacrelle: %s\n", error.what());
    }
    // The host named each breach of its evaluation rule as it happened; a
    // module that breaks it has not done its work as the host would need it.
    if (exitCode == 0 && blocksWereReadDuringEvaluation()) {
        std::fprintf(stderr, "nacrelle: the module read parameter blocks while maps were being "
                             "evaluated\n");
        exitCode = kExitFailure;
    }
    return finishStandardOutput(exitCode);
}
