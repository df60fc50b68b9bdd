// A tab's push channel as a WebSocket: the studio pushes each state as a
// text message, and the tab sends nothing. A browser opens WebSockets beside
// its six HTTP/1.1 connections to a host, so any number of tabs hear every
// change and still have those connections for their requests. Part of the
// server: everything here runs on its I/O thread.
#pragma once

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <chrono>
#include <memory>
#include <string>

#include "studio/push_channel.h"

namespace nacrelle::tools::studio {

class EventSocket : public PushChannel, public std::enable_shared_from_this<EventSocket> {
public:
    using Upgrade = boost::beast::http::request<boost::beast::http::string_body>;

    /// `handshakeDeadline`: how long the client has to take the handshake's
    /// answer and each state.
    EventSocket(boost::beast::tcp_stream stream, std::chrono::seconds handshakeDeadline);
    /// Answers `upgrade` (a request the API has accepted), then sends what
    /// send() gives.
    void start(const Upgrade& upgrade);
    void send(const PushedState& state) override;
    void close() override;
    bool closed() const override { return closed_; }

private:
    void writeNext();
    void readUntilClosed();

    boost::beast::websocket::stream<boost::beast::tcp_stream> socket_;
    boost::beast::flat_buffer incoming_;
    std::shared_ptr<const std::string> writing_;
    std::shared_ptr<const std::string> pending_;
    bool started_ = false;
    bool closed_ = false;
};

}  // namespace nacrelle::tools::studio
