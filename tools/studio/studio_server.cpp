#include "studio/studio_server.h"

#include <array>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket/rfc6455.hpp>
#include <cctype>
#include <csignal>
#include <exception>
#include <optional>
#include <vector>

#include "platform/desktop.h"
#include "platform/exclusive_port.h"
#include "common/errors.h"
#include "studio/event_socket.h"
#include "studio/event_stream.h"
#include "studio/push_channel.h"
#include "studio/request_target.h"

namespace nacrelle::tools::studio {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using Request = http::request<http::string_body>;

constexpr std::uint32_t kMaxHeader = 16 * 1024;
// Answers are worked out here; the renders have threads of their own.
constexpr std::size_t kAnswerThreads = 4;
// A connection that ends after an answer first takes what the client still
// sends (the rest of a refused body), for at most this long: closing with
// unread data would reset the connection and lose the answer.
constexpr auto kLingerTime = std::chrono::seconds(1);
// Accepting failed (out of descriptors, say): the next try waits this long.
constexpr auto kAcceptRetry = std::chrono::milliseconds(50);
// How long a stop waits for answers still being written: a write to a client
// that has gone may never finish under Wine, and must not keep the studio up.
constexpr auto kStopGrace = std::chrono::seconds(2);

ApiResponse refusal(int status, const std::string& message) {
    ApiResponse response;
    response.status = status;
    response.body = nlohmann::json{{"error", message}}.dump(
        -1, ' ', false, nlohmann::json::error_handler_t::replace);
    return response;
}

std::string lowerCase(beast::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool takesBody(http::verb method) {
    return method == http::verb::post || method == http::verb::put || method == http::verb::patch;
}

/// What StudioApi cannot judge, since it sees one value per header: a
/// refusal, or nullopt.
std::optional<ApiResponse> framingRefusal(const Request& request) {
    for (const http::field field : {http::field::host, http::field::origin}) {
        if (request.count(field) > 1) {
            return refusal(400, "the request names its " + std::string(http::to_string(field)) +
                                    " more than once");
        }
    }
    if (takesBody(request.method()) && request.count(http::field::content_length) == 0 &&
        !request.chunked()) {
        return refusal(411, "the request must say how long its body is (Content-Length)");
    }
    return std::nullopt;
}

ApiRequest toApiRequest(Request& request, RequestTarget target) {
    ApiRequest out;
    out.method = std::string(request.method_string());
    out.path = std::move(target.path);
    out.query = std::move(target.query);
    // A repeated header counts once, the first time.
    for (const auto& field : request) {
        out.headers.emplace(lowerCase(field.name_string()), std::string(field.value()));
    }
    out.body = std::move(request.body());
    return out;
}

class HttpServer;

/// One client's connection. Everything but working out the answer runs on
/// the server's I/O thread.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(tcp::socket socket, HttpServer& server)
        : stream_(std::move(socket)), server_(server) {}

    void waitForRequest();
    /// Ends the connection now (the server stops, or needs its place).
    void close();
    bool answering() const { return answering_; }
    Clock::time_point waitingSince() const { return waitingSince_; }

private:
    void onRequest(beast::error_code error);
    void write(const ApiResponse& answer, bool keepAlive);
    /// Hands the connection over to the server's push channels: as a
    /// WebSocket when `upgrade` asks for one, else as an event stream.
    void streamEvents(const ApiResponse& answer, const std::optional<Request>& upgrade);
    void lingerAndClose();
    void drain();

    beast::tcp_stream stream_;
    HttpServer& server_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    http::response<http::string_body> response_;
    std::array<char, 4096> scratch_{};
    unsigned version_ = 11;
    bool answering_ = false;
    Clock::time_point waitingSince_ = Clock::now();
};

class HttpServer {
public:
    HttpServer(StudioState& state, int port);
    ~HttpServer();

    const StudioApi& api() const { return *api_; }
    void onPageOpened(std::function<void()> listener) { api_->onPageOpened(std::move(listener)); }
    int port() const { return port_; }
    /// Serves until stopped, then ends every connection (see finish()).
    bool run();
    void stop();
    void stopOnInterrupt();
    /// Once stopping, ends run() as soon as no answer is being written.
    void stopWhenIdle();

    // For the connections, on the I/O thread.
    asio::io_context& io() { return io_; }
    asio::thread_pool& answerers() { return answerers_; }
    PushChannels& events() { return events_; }
    bool stopping() const { return stopping_; }

private:
    void accept();
    void admit(tcp::socket socket);
    /// Ends every connection, `answering` ones too when true.
    void closeConnections(bool answering);
    void finish();

    // On the heap, so that a context whose operations never come back can be
    // left to the process's end rather than waited for (see finish()).
    std::unique_ptr<asio::io_context> ownIo_ = std::make_unique<asio::io_context>();
    asio::io_context& io_ = *ownIo_;
    tcp::acceptor acceptor_{io_};
    asio::steady_timer acceptRetry_{io_};
    asio::steady_timer stopDeadline_{io_};
    asio::signal_set interrupts_{io_};
    std::vector<std::weak_ptr<Connection>> connections_;
    PushChannels events_;
    StudioState& state_;
    bool stopping_ = false;
    bool finishing_ = false;
    bool ioAbandoned_ = false;
    int port_ = 0;
    std::unique_ptr<StudioApi> api_;
    // Last: its threads end before anything they use.
    asio::thread_pool answerers_{kAnswerThreads};
};

void Connection::waitForRequest() {
    waitingSince_ = Clock::now();
    parser_.emplace();
    parser_->header_limit(kMaxHeader);
    parser_->body_limit(kMaxRequestBody);
    stream_.expires_after(kRequestDeadline);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code error, std::size_t) {
                         self->onRequest(error);
                     });
}

void Connection::onRequest(beast::error_code error) {
    if (error == http::error::body_limit) {
        return write(refusal(413, "the request body is longer than " +
                                      std::to_string(kMaxRequestBody) + " bytes"),
                     false);
    }
    if (error == http::error::header_limit) {
        return write(refusal(431, "the request's header is longer than " +
                                      std::to_string(kMaxHeader) + " bytes"),
                     false);
    }
    // The client left, went quiet past the deadline, or the server stops.
    if (error == http::error::end_of_stream || error == http::error::partial_message ||
        (error && error.category() != http::make_error_code(http::error::bad_target).category())) {
        return close();
    }
    if (error) {
        return write(refusal(400, "the request is not valid HTTP: " + error.message()), false);
    }

    Request request = parser_->release();
    version_ = request.version();
    if (std::optional<ApiResponse> refused = framingRefusal(request)) {
        return write(*refused, false);
    }
    const beast::string_view rawTarget = request.target();
    std::optional<RequestTarget> target =
        parseRequestTarget(std::string_view(rawTarget.data(), rawTarget.size()));
    if (!target) return write(refusal(400, "the request's address has a broken %-escape"), false);

    // A tab's push channel as a WebSocket, once the API has let it in.
    std::optional<Request> upgrade;
    if (beast::websocket::is_upgrade(request)) upgrade = request;
    answering_ = true;
    asio::post(server_.answerers(), [self = shared_from_this(), keepAlive = request.keep_alive(),
                                     upgrade = std::move(upgrade),
                                     apiRequest = toApiRequest(request, std::move(*target)),
                                     // run() goes on while an answer is worked out.
                                     work = asio::make_work_guard(server_.io())]() mutable {
        ApiResponse answer = self->server_.api().handle(apiRequest);
        // Still being answered until the answer is written.
        asio::post(self->stream_.get_executor(), [self, keepAlive, answer = std::move(answer),
                                                  upgrade = std::move(upgrade)] {
            if (answer.eventStream && !self->server_.stopping()) {
                self->answering_ = false;  // a stream writes on its own schedule
                return self->streamEvents(answer, upgrade);
            }
            self->write(answer, keepAlive && !self->server_.stopping());
        });
    });
}

void Connection::write(const ApiResponse& answer, bool keepAlive) {
    response_ = {};
    response_.version(version_);
    response_.result(static_cast<unsigned>(answer.status));
    response_.set(http::field::content_type, answer.contentType);
    for (const auto& [name, value] : answer.headers) response_.set(name, value);
    response_.body() = answer.body;
    response_.keep_alive(keepAlive);
    response_.prepare_payload();
    stream_.expires_after(kRequestDeadline);
    http::async_write(stream_, response_,
                      [self = shared_from_this(), keepAlive](beast::error_code error, std::size_t) {
                          self->answering_ = false;
                          if (self->server_.stopping()) {
                              self->close();
                              return self->server_.stopWhenIdle();
                          }
                          if (error) return self->close();
                          if (keepAlive) return self->waitForRequest();
                          self->lingerAndClose();
                      });
}

void Connection::streamEvents(const ApiResponse& answer, const std::optional<Request>& upgrade) {
    if (upgrade) {
        const auto socket = std::make_shared<EventSocket>(std::move(stream_), kRequestDeadline);
        server_.events().add(socket);
        return socket->start(*upgrade);
    }
    EventStream::Header header;
    header.version(version_);
    header.result(static_cast<unsigned>(answer.status));
    header.set(http::field::content_type, answer.contentType);
    for (const auto& [name, value] : answer.headers) header.set(name, value);
    // The stream's end is the connection's: no length, no keep-alive.
    header.keep_alive(false);
    const auto stream = std::make_shared<EventStream>(std::move(stream_), kRequestDeadline);
    server_.events().add(stream);
    stream->start(std::move(header), answer.body);
}

void Connection::lingerAndClose() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.expires_after(kLingerTime);
    drain();
}

void Connection::drain() {
    stream_.async_read_some(asio::buffer(scratch_),
                            [self = shared_from_this()](beast::error_code error, std::size_t) {
                                if (error) return self->close();
                                self->drain();
                            });
}

void Connection::close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
}

HttpServer::HttpServer(StudioState& state, int port) : state_(state) {
    const tcp::endpoint endpoint(asio::ip::address_v4::loopback(),
                                 static_cast<unsigned short>(port));
    beast::error_code error;
    acceptor_.open(endpoint.protocol(), error);
    if (!error) {
        if (const int code = standin::MakePortExclusive(acceptor_.native_handle())) {
            error.assign(code, boost::system::system_category());
        }
    }
    if (!error) acceptor_.bind(endpoint, error);
    if (!error) acceptor_.listen(asio::socket_base::max_listen_connections, error);
    if (error == asio::error::address_in_use) {
        throw Failure("port " + std::to_string(port) + " is in use");
    }
    if (error) {
        throw Failure("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                      error.message());
    }
    port_ = acceptor_.local_endpoint().port();
    api_ = std::make_unique<StudioApi>(state, newToken(), port_);
    // Every change goes to every tab, from the I/O thread.
    state_.onChange([this](const std::string& described) {
        asio::post(io_, [this, described] { events_.publish(described); });
    });
    accept();
}

HttpServer::~HttpServer() {
    state_.onChange(nullptr);
    // Deliberately not destroyed: its destructor would wait for ever for an
    // operation the system never returns. The process is ending.
    if (ioAbandoned_) static_cast<void>(ownIo_.release());
}

bool HttpServer::run() {
    bool served = true;
    try {
        io_.run();
    } catch (const std::exception&) {
        served = false;
    }
    finish();
    return served;
}

void HttpServer::finish() {
    stopping_ = true;
    finishing_ = true;
    state_.onChange(nullptr);
    // Answers being worked out are finished (a save is never cut short);
    // they cannot be written any more.
    answerers_.join();
    stopDeadline_.cancel();
    closeConnections(true);
    // Closed sockets give their operations back, cancelled. On Windows the
    // context's destructor waits for every one of them with no limit, and
    // under Wine a studio a browser had used waited there for ever now and
    // then. Run here, they come back; past the grace the context is left.
    io_.restart();
    io_.run_for(kStopGrace);
    ioAbandoned_ = !io_.stopped();
}

void HttpServer::closeConnections(bool answering) {
    beast::error_code ignored;
    acceptor_.close(ignored);
    acceptRetry_.cancel();
    interrupts_.cancel();
    events_.closeAll();
    for (const std::weak_ptr<Connection>& weak : connections_) {
        const auto connection = weak.lock();
        if (connection && (answering || !connection->answering())) {
            connection->close();
        }
    }
}

void HttpServer::stop() {
    asio::post(io_, [this] {
        if (stopping_) return;
        stopping_ = true;
        // Connections being answered end after their answer, or when the
        // grace runs out.
        closeConnections(false);
        stopDeadline_.expires_after(kStopGrace);
        stopDeadline_.async_wait([this](beast::error_code error) {
            if (!error) io_.stop();
        });
        stopWhenIdle();
    });
}

void HttpServer::stopWhenIdle() {
    // While finishing, the context runs until its operations are back.
    if (!stopping_ || finishing_) return;
    for (const std::weak_ptr<Connection>& weak : connections_) {
        if (const auto connection = weak.lock(); connection && connection->answering()) return;
    }
    // The operations of closed connections are not waited for: Windows (and
    // Wine) may be slow to cancel a read that a browser's idle connection
    // left pending, and Ctrl-C must stop the studio at once.
    io_.stop();
}

void HttpServer::stopOnInterrupt() {
    for (const int signal : standin::StopSignals()) interrupts_.add(signal);
    interrupts_.async_wait([this](beast::error_code error, int) {
        if (!error) stop();
    });
}

void HttpServer::accept() {
    acceptor_.async_accept([this](beast::error_code error, tcp::socket socket) {
        if (stopping_) return;
        if (error) {
            acceptRetry_.expires_after(kAcceptRetry);
            acceptRetry_.async_wait([this](beast::error_code waitError) {
                if (!waitError && !stopping_) accept();
            });
            return;
        }
        admit(std::move(socket));
        accept();
    });
}

void HttpServer::admit(tcp::socket socket) {
    std::erase_if(connections_, [](const std::weak_ptr<Connection>& c) { return c.expired(); });
    if (connections_.size() >= kMaxConnections) {
        // The connection that has waited longest for its request makes room.
        auto oldest = connections_.end();
        std::shared_ptr<Connection> oldestConnection;
        for (auto it = connections_.begin(); it != connections_.end(); ++it) {
            const auto connection = it->lock();
            if (!connection || connection->answering()) continue;
            if (!oldestConnection ||
                connection->waitingSince() < oldestConnection->waitingSince()) {
                oldest = it;
                oldestConnection = connection;
            }
        }
        if (oldestConnection) {
            oldestConnection->close();
            connections_.erase(oldest);
        }
    }
    const auto connection = std::make_shared<Connection>(std::move(socket), *this);
    connections_.push_back(connection);
    connection->waitForRequest();
}

}  // namespace

class StudioServer::Impl : public HttpServer {
public:
    using HttpServer::HttpServer;
};

StudioServer::StudioServer(StudioState& state, int port)
    : impl_(std::make_unique<Impl>(state, port)) {}

StudioServer::~StudioServer() = default;

const StudioApi& StudioServer::api() const { return impl_->api(); }

void StudioServer::onPageOpened(std::function<void()> listener) {
    impl_->onPageOpened(std::move(listener));
}

int StudioServer::port() const { return impl_->port(); }

bool StudioServer::run() { return impl_->run(); }

void StudioServer::stop() { impl_->stop(); }

void StudioServer::stopOnInterrupt() { impl_->stopOnInterrupt(); }

}  // namespace nacrelle::tools::studio
