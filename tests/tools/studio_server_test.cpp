// The studio's server on a real socket, under requests from several clients
// at once, stopped while they may still come (run under ASan and TSan too).
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tools/host_session.h"
#include "tools/studio/studio_server.h"

namespace nacrelle::tools::studio {
namespace {

TEST(StudioServer, ServesParallelClientsAndStopsCleanly) {
    HostSession session(NACRELLE_MODULE);
    StudioOptions options;
    options.swatchSize = 32;
    options.chartWidth = 120;
    options.chartHeight = 100;
    StudioState state(session, options);
    StudioServer server(state, 0);
    const std::string address = server.api().address();
    const std::string port = address.substr(17, address.find('/', 17) - 17);
    const std::string token = "?token=" + server.api().token();
    std::thread serving([&] { server.run(); });

    constexpr int kClients = 4;
    constexpr int kRequestsEach = 12;
    std::atomic<int> unexpected{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", std::stoi(port));
            for (int i = 0; i < kRequestsEach; ++i) {
                const int kind = (c + i) % 3;
                if (kind == 2) {
                    // Without the token: refused.
                    const httplib::Result refused = client.Get("/api/state");
                    if (!refused || refused->status != 403) ++unexpected;
                    continue;
                }
                const httplib::Result result =
                    kind == 0 ? client.Post("/api/panel" + token,
                                            R"({"id":1503,"action":"spin","steps":1})",
                                            "application/json")
                              : client.Get("/api/swatch.png" + token + "&revision=" +
                                           std::to_string(1 + i));
                if (!result || (result->status != 200 && result->status != 409)) ++unexpected;
            }
        });
    }
    for (std::thread& client : clients) client.join();
    server.stop();
    serving.join();
    EXPECT_EQ(unexpected.load(), 0);
}

}  // namespace
}  // namespace nacrelle::tools::studio
