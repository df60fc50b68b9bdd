#include "studio/event_stream.h"

#include <boost/asio/buffer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/write.hpp>

namespace nacrelle::tools::studio {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

std::string serverSentEvent(const std::string& text) {
    std::string event;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        event += "data: " + text.substr(start, end == std::string::npos ? end : end - start) + "\n";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return event + "\n";
}

EventStream::EventStream(beast::tcp_stream stream, std::chrono::seconds writeDeadline)
    : stream_(std::move(stream)),
      writeDeadline_(writeDeadline),
      heartbeat_(stream_.get_executor()) {}

void EventStream::start(Header header, std::string first) {
    header_ = std::move(header);
    serializer_ = std::make_unique<http::response_serializer<http::empty_body>>(header_);
    stream_.expires_after(writeDeadline_);
    http::async_write_header(stream_, *serializer_,
                             [self = shared_from_this(), first = std::move(first)](
                                 beast::error_code error, std::size_t) mutable {
                                 if (error) return self->close();
                                 self->started_ = true;
                                 self->waitForClientToLeave();
                                 self->heartbeat();
                                 if (!self->pending_) {
                                     self->pending_ =
                                         std::make_shared<const std::string>(std::move(first));
                                 }
                                 self->writeNext();
                             });
}

void EventStream::send(const PushedState& state) {
    if (closed_) return;
    pending_ = state.event;
    if (started_) writeNext();
}

void EventStream::writeNext() {
    if (closed_ || writing_ || !pending_) return;
    writing_ = std::move(pending_);
    stream_.expires_after(writeDeadline_);
    asio::async_write(stream_, asio::buffer(*writing_),
                      [self = shared_from_this()](beast::error_code error, std::size_t) {
                          self->writing_.reset();
                          if (error) return self->close();
                          // Between events the client may stay as long as it likes.
                          self->stream_.expires_never();
                          self->writeNext();
                      });
}

void EventStream::waitForClientToLeave() {
    // The client sends nothing more on this connection; reading ends when
    // it goes. The socket's own read keeps the write deadline out of it.
    stream_.socket().async_read_some(
        asio::buffer(scratch_), [self = shared_from_this()](beast::error_code error, std::size_t) {
            if (error) return self->close();
            self->waitForClientToLeave();
        });
}

void EventStream::heartbeat() {
    heartbeat_.expires_after(kEventHeartbeat);
    heartbeat_.async_wait([self = shared_from_this()](beast::error_code error) {
        if (error || self->closed_) return;
        if (!self->writing_ && !self->pending_) {
            static const auto comment = std::make_shared<const std::string>(":\n\n");
            self->pending_ = comment;
            self->writeNext();
        }
        self->heartbeat();
    });
}

void EventStream::close() {
    if (closed_) return;
    closed_ = true;
    heartbeat_.cancel();
    beast::error_code ignored;
    stream_.socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    stream_.close();
}

}  // namespace nacrelle::tools::studio
