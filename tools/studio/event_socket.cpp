#include "studio/event_socket.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/websocket.hpp>

namespace nacrelle::tools::studio {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;

namespace {

// A tab sends nothing but the protocol's own frames (pings, the close).
constexpr std::size_t kLargestIncoming = 1024;

}  // namespace

EventSocket::EventSocket(beast::tcp_stream stream, std::chrono::seconds handshakeDeadline)
    : socket_(std::move(stream)) {
    // The socket keeps its own time: the stream's deadline would end it.
    beast::get_lowest_layer(socket_).expires_never();
    websocket::stream_base::timeout timeouts =
        websocket::stream_base::timeout::suggested(beast::role_type::server);
    timeouts.handshake_timeout = handshakeDeadline;
    // A tab that has gone without a word is noticed by the pings of an idle
    // socket: it answers none.
    socket_.set_option(timeouts);
    socket_.read_message_max(kLargestIncoming);
    socket_.text(true);
}

void EventSocket::start(const Upgrade& upgrade) {
    socket_.async_accept(upgrade, [self = shared_from_this()](beast::error_code error) {
        if (error) return self->close();
        self->started_ = true;
        self->readUntilClosed();
        self->writeNext();
    });
}

void EventSocket::send(const PushedState& state) {
    if (closed_) return;
    pending_ = state.json;
    if (started_) writeNext();
}

void EventSocket::writeNext() {
    if (closed_ || writing_ || !pending_) return;
    writing_ = std::move(pending_);
    socket_.async_write(asio::buffer(*writing_),
                        [self = shared_from_this()](beast::error_code error, std::size_t) {
                            self->writing_.reset();
                            if (error) return self->close();
                            self->writeNext();
                        });
}

void EventSocket::readUntilClosed() {
    // Reading answers the client's pings and its close; what it sends
    // otherwise means nothing to the studio.
    socket_.async_read(incoming_, [self = shared_from_this()](beast::error_code error, std::size_t) {
        if (error) return self->close();
        self->incoming_.clear();
        self->readUntilClosed();
    });
}

void EventSocket::close() {
    if (closed_) return;
    closed_ = true;
    beast::error_code ignored;
    auto& stream = beast::get_lowest_layer(socket_);
    stream.socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    stream.close();
}

}  // namespace nacrelle::tools::studio
