// The studio's server on a real socket, under requests from several clients
// at once, stopped while they may still come (run under ASan and TSan too).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tools/session/host_session.h"
#include "tools/studio/studio_server.h"

namespace nacrelle::tools::studio {
namespace {

/// The status of one HTTP/1.0 request to 127.0.0.1:port, or 0 when the
/// exchange failed. A plain socket: the clients are not under test.
int statusOf(int port, const std::string& method, const std::string& target,
             const std::string& body = "") {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = method + " " + target + " HTTP/1.0\r\nHost: 127.0.0.1:" +
                                    std::to_string(port) + "\r\nContent-Type: application/json" +
                                    "\r\nContent-Length: " + std::to_string(body.size()) +
                                    "\r\n\r\n" + body;
        if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
            char buffer[4096];
            for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, n);
        }
    }
    close(fd);
    // "HTTP/1.1 200 OK"
    return reply.size() > 12 ? std::atoi(reply.substr(9, 3).c_str()) : 0;
}

TEST(StudioServer, ServesParallelClientsAndStopsCleanly) {
    HostSession session(NACRELLE_MODULE);
    StudioOptions options;
    options.swatchSize = 32;
    options.chartWidth = 120;
    options.chartHeight = 100;
    StudioState state(session, options);
    StudioServer server(state, 0);
    const std::string address = server.api().address();
    const int port = std::stoi(address.substr(17, address.find('/', 17) - 17));
    const std::string token = "?token=" + server.api().token();
    std::thread serving([&] { server.run(); });

    constexpr int kClients = 4;
    constexpr int kRequestsEach = 12;
    std::atomic<int> unexpected{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            for (int i = 0; i < kRequestsEach; ++i) {
                int status = 0;
                switch ((c + i) % 3) {
                    case 0:
                        status = statusOf(port, "POST", "/api/panel" + token,
                                          R"({"id":1503,"action":"spin","steps":1})");
                        break;
                    case 1:
                        status = statusOf(port, "GET", "/api/swatch.png" + token +
                                                           "&revision=" + std::to_string(1 + i));
                        break;
                    default:
                        // Without the token: refused.
                        if (statusOf(port, "GET", "/api/state") != 403) ++unexpected;
                        continue;
                }
                if (status != 200 && status != 204) ++unexpected;
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
