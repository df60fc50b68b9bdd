// `nacrelle studio`: serves the editor panel and a live swatch to a browser.
#pragma once

#include <string>

#include "cli/command_registration.h"

namespace nacrelle::tools {

struct StudioCommand {
    std::string scene;  ///< opened when it exists, else where Save writes
    int port = 0;       ///< 0: any free port
    bool open = false;  ///< open the page through the host's ShellExecuteW
    int threads = 0;    ///< render threads, 0: one per core
};

int runStudio(const CommonOptions& common, const StudioCommand& command);

/// Adds `studio` to the command line.
void addStudioCommand(CLI::App& app, const CommonOptions& common, int& result);

}  // namespace nacrelle::tools
