// A tab's push channel as server-sent events: an answer that never ends,
// holding one of the browser's connections to the studio (a WebSocket,
// event_socket.h, holds none). Part of the server: everything here runs on
// its I/O thread.
#pragma once

#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/serializer.hpp>
#include <array>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "studio/push_channel.h"

namespace nacrelle::tools::studio {

/// A comment goes out when nothing else has for this long, so that a
/// stream whose client has gone is noticed and closed.
inline constexpr std::chrono::seconds kEventHeartbeat{15};

/// One client's stream.
class EventStream : public PushChannel, public std::enable_shared_from_this<EventStream> {
public:
    using Header = boost::beast::http::response<boost::beast::http::empty_body>;

    /// `writeDeadline`: how long the client has to take each event.
    EventStream(boost::beast::tcp_stream stream, std::chrono::seconds writeDeadline);
    /// Writes `header`, then `first`, then whatever send() gives.
    void start(Header header, std::string first);
    void send(const PushedState& state) override;
    void close() override;
    bool closed() const override { return closed_; }

private:
    void writeNext();
    void waitForClientToLeave();
    void heartbeat();

    boost::beast::tcp_stream stream_;
    std::chrono::seconds writeDeadline_;
    boost::asio::steady_timer heartbeat_;
    Header header_;
    std::unique_ptr<boost::beast::http::response_serializer<boost::beast::http::empty_body>>
        serializer_;
    std::shared_ptr<const std::string> writing_;
    std::shared_ptr<const std::string> pending_;
    std::array<char, 512> scratch_{};
    bool started_ = false;
    bool closed_ = false;
};

/// `text` as one server-sent event: a data line for each of its lines.
std::string serverSentEvent(const std::string& text);

}  // namespace nacrelle::tools::studio
