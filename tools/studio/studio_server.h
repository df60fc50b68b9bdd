// The studio's HTTP server: cpp-httplib on 127.0.0.1 only, handing every
// request to StudioApi.
#pragma once

#include <memory>

#include "tools/studio/studio_api.h"

namespace httplib {
class Server;
}

namespace nacrelle::tools::studio {

class StudioServer {
public:
    /// Binds 127.0.0.1 at `port` (0: any free port); a Failure when it cannot.
    StudioServer(StudioState& state, int port);
    ~StudioServer();
    StudioServer(const StudioServer&) = delete;
    StudioServer& operator=(const StudioServer&) = delete;

    const StudioApi& api() const { return *api_; }
    /// Serves until stop(); false when the server could not run.
    bool run();
    /// Ends run() once the requests in progress are answered; from any thread.
    void stop();

private:
    std::unique_ptr<httplib::Server> server_;
    std::unique_ptr<StudioApi> api_;
};

}  // namespace nacrelle::tools::studio
