// The studio's server on a real socket: clients at once, stopped while they
// may still come (run under ASan and TSan too); one server per port; requests
// it refuses before the API sees them; and slow clients that must not hold
// up a good one.
#include "studio/studio_server.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/errors.h"
#include "app/session/host_session.h"

namespace nacrelle::tools::studio {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using namespace std::chrono_literals;

tcp::endpoint serverAt(int port) {
    return {asio::ip::address_v4::loopback(), static_cast<unsigned short>(port)};
}

struct Reply {
    int status = 0;  ///< 0: no answer within the time given
    std::string body;
};

/// Sends `raw` and reads one answer, all within `limit`.
Reply exchange(int port, const std::string& raw, std::chrono::milliseconds limit = 10s) {
    asio::io_context io;
    beast::tcp_stream stream(io);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    Reply reply;
    stream.expires_after(limit);
    stream.async_connect(serverAt(port), [&](beast::error_code error) {
        if (error) return;
        asio::async_write(stream, asio::buffer(raw), [&](beast::error_code error, std::size_t) {
            if (error) return;
            http::async_read(stream, buffer, response, [&](beast::error_code error, std::size_t) {
                if (!error) reply = {static_cast<int>(response.result_int()), response.body()};
            });
        });
    });
    io.run();
    return reply;
}

std::string request(const std::string& line, int port, const std::string& more = "") {
    return line + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nConnection: close\r\n" + more + "\r\n";
}

std::string post(const std::string& target, int port, const std::string& body) {
    return request("POST " + target, port,
                   "Content-Length: " + std::to_string(body.size()) + "\r\n") +
           body;
}

class StudioServerTest : public ::testing::Test {
protected:
    StudioServerTest() {
        options_.swatchSize = 32;
        options_.chartWidth = 120;
        options_.chartHeight = 100;
    }
    ~StudioServerTest() override {
        server_.stop();
        serving_.join();
    }
    std::string withToken(const std::string& path) {
        return path + "?token=" + server_.api().token();
    }

    HostSession session_{NACRELLE_MODULE};
    StudioOptions options_;
    StudioState state_{session_, options_};
    StudioServer server_{state_, 0};
    const int port_ = server_.port();
    std::thread serving_{[this] { server_.run(); }};
};

TEST_F(StudioServerTest, ServesParallelClientsAndStopsCleanly) {
    constexpr int kClients = 4;
    constexpr int kRequestsEach = 12;
    std::atomic<int> unexpected{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            for (int i = 0; i < kRequestsEach; ++i) {
                const std::string raw =
                    (c + i) % 3 == 0 ? post(withToken("/api/panel"), port_,
                                            R"({"id":1503,"action":"spin","steps":1})")
                    : (c + i) % 3 == 1
                        ? request("GET " + withToken("/api/swatch.png") +
                                      "&revision=" + std::to_string(1 + i),
                                  port_)
                        : request("GET /api/state", port_);  // without the token: refused
                const int status = exchange(port_, raw).status;
                const bool expected =
                    (c + i) % 3 == 2 ? status == 403 : status == 200 || status == 204;
                if (!expected) ++unexpected;
            }
        });
    }
    for (std::thread& client : clients) client.join();
    EXPECT_EQ(unexpected.load(), 0);
}

TEST_F(StudioServerTest, ASecondServerOnTheSamePortIsRefused) {
    try {
        StudioServer second(state_, port_);
        FAIL() << "a second server took port " << port_;
    } catch (const Failure& failure) {
        EXPECT_EQ(std::string(failure.what()), "port " + std::to_string(port_) + " is in use");
    }
}

TEST_F(StudioServerTest, AnswersAndRefusesWhatTheServerJudges) {
    const std::string state = withToken("/api/state");
    const std::string host = "Host: 127.0.0.1:" + std::to_string(port_) + "\r\n";
    const struct {
        std::string raw;
        int status;
    } cases[] = {
        {request("GET " + state, port_), 200},
        {request("GET /api/st%61te?tok%65n=" + server_.api().token() + "&token=x", port_), 200},
        {request("GET " + state + "&revision=%zz", port_), 400},
        {request("GET " + state, port_, host), 400},
        {request("GET " + state, port_, "Origin: \r\n"), 403},
        {request("POST " + withToken("/api/scene/new"), port_), 411},
        {request("POST " + withToken("/api/scene/new"), port_, "Content-Length: 100000\r\n"), 413},
        {"GET / HTTP/9\r\n\r\n", 400},
    };
    for (const auto& c : cases) {
        const Reply reply = exchange(port_, c.raw);
        EXPECT_EQ(reply.status, c.status) << c.raw;
        if (c.status != 200) {
            EXPECT_NE(reply.body.find("\"error\""), std::string::npos) << c.raw;
        }
    }
}

TEST_F(StudioServerTest, EveryOpenEventStreamHearsEachChangeUntilTheServerStops) {
    // Two tabs' streams, and one without the token, which is refused.
    const std::string withoutToken = request("GET /api/events", port_);
    EXPECT_EQ(exchange(port_, withoutToken).status, 403);
    asio::io_context io;
    struct Stream {
        tcp::socket socket;
        std::string received;
        std::array<char, 4096> chunk{};
        bool ended = false;
    };
    std::vector<std::unique_ptr<Stream>> streams;
    std::function<void(Stream&)> readMore = [&](Stream& stream) {
        stream.socket.async_read_some(asio::buffer(stream.chunk),
                                      [&](beast::error_code error, std::size_t n) {
                                          stream.received.append(stream.chunk.data(), n);
                                          if (error) {
                                              stream.ended = true;
                                              return;
                                          }
                                          readMore(stream);
                                      });
    };
    const std::string open = request("GET " + withToken("/api/events"), port_);
    for (int i = 0; i < 2; ++i) {
        streams.push_back(std::make_unique<Stream>(Stream{tcp::socket(io), {}, {}, false}));
        streams.back()->socket.connect(serverAt(port_));
        asio::write(streams.back()->socket, asio::buffer(open));
        readMore(*streams.back());
    }
    const auto runUntil = [&](const std::function<bool()>& done) {
        const auto limit = std::chrono::steady_clock::now() + 10s;
        while (!done() && std::chrono::steady_clock::now() < limit) io.run_for(20ms);
        return done();
    };
    const auto heardAll = [&](const std::string& what) {
        return [&, what] {
            for (const auto& stream : streams) {
                if (stream->received.find(what) == std::string::npos) return false;
            }
            return true;
        };
    };
    ASSERT_TRUE(runUntil(heardAll("retry: 1000\n\n")));
    for (const auto& stream : streams) {
        EXPECT_NE(stream->received.find("HTTP/1.1 200"), std::string::npos);
        EXPECT_NE(stream->received.find("Content-Type: text/event-stream"), std::string::npos);
    }
    // A change by another client: both hear the state after it.
    const std::string change =
        post(withToken("/api/panel"), port_, R"({"id":1503,"action":"spin","steps":1})");
    ASSERT_EQ(exchange(port_, change).status, 200);
    const std::string revision = "\"revision\":" + std::to_string(state_.describe()["revision"].get<int>());
    EXPECT_TRUE(runUntil(heardAll("data: {")));
    EXPECT_TRUE(runUntil(heardAll(revision)));
    // Stopping the server ends the streams, and with them its run().
    server_.stop();
    serving_.join();
    EXPECT_TRUE(runUntil([&] { return streams[0]->ended && streams[1]->ended; }));
    serving_ = std::thread([] {});
}

/// Connections that stay open while a good client asks; each load stops by
/// itself when the test ends it.
class SlowClients {
public:
    explicit SlowClients(int port) : port_(port) {}
    ~SlowClients() {
        {
            std::lock_guard lock(mutex_);
            ended_ = true;
        }
        ended_changed_.notify_all();
        for (std::thread& t : tricklers_) t.join();
    }
    void idle(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) open();
    }
    /// Sends `raw` a byte every 2 s.
    void trickle(std::string raw) {
        tcp::socket& socket = open();
        tricklers_.emplace_back([this, &socket, raw] {
            std::unique_lock lock(mutex_);
            for (std::size_t i = 0; i < raw.size() && !ended_; ++i) {
                beast::error_code ignored;
                asio::write(socket, asio::buffer(&raw[i], 1), ignored);
                ended_changed_.wait_for(lock, 2s, [this] { return ended_; });
            }
        });
    }
    void send(const std::string& raw) { asio::write(open(), asio::buffer(raw)); }
    /// Whether the server has ended the first connection.
    bool firstEnded() {
        char byte;
        beast::error_code error;
        sockets_.front().non_blocking(true);
        sockets_.front().read_some(asio::buffer(&byte, 1), error);
        return error == asio::error::eof;
    }

private:
    tcp::socket& open() {
        sockets_.emplace_back(io_).connect(serverAt(port_));
        return sockets_.back();
    }
    int port_;
    asio::io_context io_;
    std::deque<tcp::socket> sockets_;
    std::vector<std::thread> tricklers_;
    std::mutex mutex_;
    std::condition_variable ended_changed_;
    bool ended_ = false;
};

TEST_F(StudioServerTest, SlowClientsDoNotHoldUpAGoodOne) {
    // Far above the few milliseconds a good client takes, far below the
    // tens of seconds a held-up one waited.
    constexpr auto kBound = 5000ms;
    const std::string noLength =
        request("POST " + withToken("/api/panel"), port_) + R"({"id":1503,"action":"spin"})";
    const auto idle = [](SlowClients& s) { s.idle(200); };
    const auto trickle = [&](SlowClients& s) {
        for (int i = 0; i < 8; ++i) s.trickle(request("GET " + withToken("/api/state"), port_));
    };
    const auto noLengthBody = [&](SlowClients& s) { s.send(noLength); };
    // The tricklers are given the time to send two bytes each.
    const struct {
        const char* name;
        std::function<void(SlowClients&)> load;
        std::chrono::milliseconds settle;
        bool firstMakesRoom = false;
    } loads[] = {
        {"200 idle connections", idle, 200ms},
        {"8 connections sending a byte every 2 s", trickle, 2500ms},
        {"a request without a body length", noLengthBody, 200ms},
        {"all three", [&](SlowClients& s) { idle(s), trickle(s), noLengthBody(s); }, 2500ms},
        {"as many idle connections as the server holds",
         [](SlowClients& s) { s.idle(kMaxConnections); }, 500ms, true},
    };
    for (const auto& load : loads) {
        SlowClients slow(port_);
        load.load(slow);
        std::this_thread::sleep_for(load.settle);
        const auto start = std::chrono::steady_clock::now();
        const Reply reply =
            exchange(port_, request("GET " + withToken("/api/state"), port_), kBound);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        std::printf("good client under %s: answered in %.1f ms\n", load.name, ms);
        EXPECT_EQ(reply.status, 200) << load.name;
        EXPECT_EQ(slow.firstEnded(), load.firstMakesRoom) << load.name;
    }
}

}  // namespace
}  // namespace nacrelle::tools::studio
