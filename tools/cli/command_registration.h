// How a command joins the command line: its own file adds its sub-command,
// its options and the call that runs it, and main only gathers the additions
// in the order that --help lists them.
#pragma once

#include <string>

namespace CLI {
class App;
}  // namespace CLI

namespace nacrelle::tools {

/// Options of the program as a whole.
struct CommonOptions {
    std::string plugin;  ///< module file, "" for the default place
};

/// Adds a command to `app`; running it sets `result` to its exit code.
/// Errors are thrown as BadValue or Failure, and main reports them.
using AddCommand = void (*)(CLI::App& app, const CommonOptions& common, int& result);

void addRenderCommand(CLI::App& app, const CommonOptions& common, int& result);
void addChartCommand(CLI::App& app, const CommonOptions& common, int& result);
void addEvalCommand(CLI::App& app, const CommonOptions& common, int& result);
/// `match`; in a build without colour matching, a command that says so.
void addMatchCommand(CLI::App& app, const CommonOptions& common, int& result);
void addInfoCommand(CLI::App& app, const CommonOptions& common, int& result);
void addSceneCommand(CLI::App& app, const CommonOptions& common, int& result);
void addPanelCommand(CLI::App& app, const CommonOptions& common, int& result);
/// `presets` and `gallery`.
void addPresetCommands(CLI::App& app, const CommonOptions& common, int& result);

}  // namespace nacrelle::tools
