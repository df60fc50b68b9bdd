// The studio's HTTP server: Boost.Beast on Asio, on 127.0.0.1 only, handing
// every request to StudioApi. One thread reads and writes every connection,
// each under a deadline, so a slow or idle client holds nothing but its
// socket; the answers are worked out on a few other threads, so a render
// does not hold up the connections meanwhile.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "studio/studio_api.h"

namespace nacrelle::tools::studio {

/// Time a connection has to deliver a whole request (counted from its
/// previous answer), and to take an answer.
inline constexpr std::chrono::seconds kRequestDeadline{10};
/// Connections held at once; one more closes the one that has waited
/// longest for its request.
inline constexpr std::size_t kMaxConnections = 512;

class StudioServer {
public:
    /// Binds 127.0.0.1 at `port` (0: any free port), which no other server
    /// may share; a Failure when it cannot ("port N is in use").
    StudioServer(StudioState& state, int port);
    ~StudioServer();
    StudioServer(const StudioServer&) = delete;
    StudioServer& operator=(const StudioServer&) = delete;

    const StudioApi& api() const;
    /// See StudioApi::onPageOpened; before run().
    void onPageOpened(std::function<void()> listener);
    int port() const;
    /// Serves until stop(); false when the server could not run.
    bool run();
    /// Ends run() once the requests in progress are answered; from any thread.
    void stop();
    /// From now on Ctrl-C, SIGTERM and the platform's other ways of asking a
    /// program to end (a closed terminal, ...) stop() the server.
    void stopOnInterrupt();

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace nacrelle::tools::studio
