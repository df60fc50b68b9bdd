// The studio's server-sent events: every tab keeps one stream open and hears
// each change of the one document through it, whichever tab made it. Part
// of the server: everything here runs on its I/O thread.
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
#include <vector>

namespace nacrelle::tools::studio {

/// Streams held at once; one more closes the oldest (its page opens it
/// again when it is still there).
inline constexpr std::size_t kMaxEventStreams = 64;
/// A comment goes out when nothing else has for this long, so that a
/// stream whose client has gone is noticed and closed.
inline constexpr std::chrono::seconds kEventHeartbeat{15};

/// One client's stream. Events are whole states, so a client that reads
/// slowly gets the newest one next and misses nothing it needs.
class EventStream : public std::enable_shared_from_this<EventStream> {
public:
    using Header = boost::beast::http::response<boost::beast::http::empty_body>;

    /// `writeDeadline`: how long the client has to take each event.
    EventStream(boost::beast::tcp_stream stream, std::chrono::seconds writeDeadline);
    /// Writes `header`, then `first`, then whatever send() gives.
    void start(Header header, std::string first);
    /// Queues `event` ("data: ...\n\n"), replacing one not yet written.
    void send(std::shared_ptr<const std::string> event);
    void close();
    bool closed() const { return closed_; }

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

/// The streams of every tab.
class EventStreams {
public:
    void add(std::shared_ptr<EventStream> stream);
    /// Sends `state` (JSON text) to every stream.
    void publish(const std::string& state);
    void closeAll();

private:
    std::vector<std::shared_ptr<EventStream>> streams_;
};

/// `text` as one server-sent event: a data line for each of its lines.
std::string serverSentEvent(const std::string& text);

}  // namespace nacrelle::tools::studio
