#include "studio/command_studio.h"

#include <CLI/CLI.hpp>
#include <platform/command_line.h>
#include <platform/desktop.h>
#include <platform/private_file.h>
#include <platform/shell.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>

#include "common/errors.h"
#include "app/render/parallel_rows.h"
#include "app/session/host_session.h"
#include "studio/studio_server.h"

namespace nacrelle::tools {

namespace {

/// A page that sends the browser on to `address`: the browser is given this
/// page's file, so the token is on no command line that any user may list.
std::string launchPage(const std::string& address) {
    return "<!doctype html>\n<meta charset=\"utf-8\">\n<meta name=\"referrer\" content=\"no-referrer\">\n"
           "<meta http-equiv=\"refresh\" content=\"0; url=" + address + "\">\n"
           "<title>Nacrelle Studio</title>\n<p><a href=\"" + address +
           "\">Open Nacrelle Studio</a></p>\n";
}

}  // namespace

int runStudio(const CommonOptions& common, const StudioCommand& command) {
    if (command.port < 0 || command.port > 65535) {
        throw BadValue("--port " + std::to_string(command.port) +
                         " must lie between 0 (any free port) and 65535");
    }
    checkThreadCount(command.threads);

    HostSession session(findModule(standin::PathFromUtf8(common.plugin)));
    studio::StudioOptions options;
    options.sceneFile = command.scene;
    options.threads = command.threads;
    studio::StudioState state(session, options);
    studio::StudioServer server(state, command.port);
    server.stopOnInterrupt();

    const std::string address = server.api().address();
    std::printf("nacrelle studio: %s\n(Ctrl-C stops it)\n", address.c_str());
    std::fflush(stdout);
    // Removed when the studio stops.
    std::optional<standin::PrivateFile> launcher;
    if (command.open) {
        const standin::ScopedShellHandler browser([](const std::string& page) {
            if (const std::string problem = standin::OpenInBrowser(page); !problem.empty()) {
                std::fprintf(stderr, "nacrelle studio: cannot open the browser: %s\n",
                             problem.c_str());
            }
        });
        try {
            launcher.emplace("nacrelle-studio.html", launchPage(address));
            openThroughHost(launcher->path());
        } catch (const std::runtime_error& error) {
            std::fprintf(stderr, "nacrelle studio: cannot open the browser: %s\n", error.what());
        }
    }

    const bool served = server.run();
    if (!served) throw Failure("the studio's server stopped unexpectedly");
    std::printf("nacrelle studio: stopped\n");
    return 0;
}

void addStudioCommand(CLI::App& app, const CommonOptions& common, int& result) {
    auto studio = std::make_shared<StudioCommand>();
    auto* studioApp =
        app.add_subcommand("studio", "Edit the map in a browser: its panel and a live swatch");
    studioApp->add_option("scene", studio->scene,
                          "Scene file to edit (opened when it exists, else where Save writes)");
    studioApp->add_option("--port", studio->port, "Port on 127.0.0.1 (0: any free port)")
        ->capture_default_str();
    studioApp->add_flag("--open", studio->open, "Open the page in the browser");
    studioApp->add_option("--threads", studio->threads, "Render threads (0: one per core)");
    studioApp->callback([studio, &common, &result] { result = runStudio(common, *studio); });
}

}  // namespace nacrelle::tools
