#include "studio/command_studio.h"

#include <CLI/CLI.hpp>
#include <platform/command_line.h>
#include <platform/desktop.h>
#include <platform/private_file.h>
#include <platform/shell.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

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

constexpr const char* kLauncherName = "nacrelle-studio.html";
// A browser that has not opened the page by then most likely never will.
constexpr auto kOpenPatience = std::chrono::seconds(15);

void cannotOpen(const std::string& why, const std::string& address) {
    std::fprintf(stderr, "nacrelle studio: cannot open the browser: %s; open %s in a browser\n",
                 why.c_str(), address.c_str());
}

/// What --open leaves: the launch page, which goes as soon as the browser has
/// followed it (or when the studio stops), and a watch that prints the
/// address when no browser has come for the page within kOpenPatience.
class Launcher {
public:
    explicit Launcher(std::string address) : address_(std::move(address)) {
        const standin::ScopedShellHandler browser([this](const std::string& page) {
            if (const std::string problem = standin::OpenInBrowser(page); !problem.empty()) {
                failed_ = true;
                cannotOpen(problem, address_);
            }
        });
        try {
            file_.emplace(kLauncherName, launchPage(address_));
            openThroughHost(file_->path());
        } catch (const std::runtime_error& error) {
            failed_ = true;
            cannotOpen(error.what(), address_);
        }
        if (!failed_) watch_ = std::thread([this] { watch(); });
    }
    ~Launcher() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            ending_ = true;
            file_.reset();
        }
        changed_.notify_all();
        if (watch_.joinable()) watch_.join();
    }
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    /// The browser has the page: the launcher (and the token in it) can go.
    void pageOpened() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            opened_ = true;
            file_.reset();
        }
        changed_.notify_all();
    }

private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (changed_.wait_for(lock, kOpenPatience, [this] { return opened_ || ending_; })) return;
        cannotOpen("no browser has asked for the page after " +
                       std::to_string(kOpenPatience.count()) + " s",
                   address_);
    }

    std::string address_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<standin::PrivateFile> file_;
    bool failed_ = false;
    bool opened_ = false;
    bool ending_ = false;
    std::thread watch_;
};

}  // namespace

int runStudio(const CommonOptions& common, const StudioCommand& command) {
    if (command.port < 0 || command.port > 65535) {
        throw BadValue("--port " + std::to_string(command.port) +
                         " must lie between 0 (any free port) and 65535");
    }
    checkThreadCount(command.threads);
    // What a studio killed outright (kill -9) left: its launcher, which
    // holds its token.
    standin::PrivateFile::SweepAbandoned(kLauncherName);

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
    std::optional<Launcher> launcher;
    if (command.open) {
        launcher.emplace(address);
        server.onPageOpened([&launcher] { launcher->pageOpened(); });
    }
    const bool served = server.run();
    launcher.reset();
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
