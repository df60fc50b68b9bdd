#include "tools/studio/studio_server.h"

#include <httplib.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "tools/common/errors.h"

namespace nacrelle::tools::studio {

namespace {

constexpr const char* kLoopback = "127.0.0.1";
constexpr time_t kReadTimeoutSeconds = 10;

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

ApiRequest toApiRequest(const httplib::Request& request) {
    ApiRequest out;
    out.method = request.method;
    out.path = request.path;
    // A repeated parameter counts once, the first time.
    for (const auto& [name, value] : request.params) out.query.emplace(name, value);
    for (const auto& [name, value] : request.headers) out.headers.emplace(lowerCase(name), value);
    out.body = request.body;
    return out;
}

}  // namespace

StudioServer::StudioServer(StudioState& state, int port)
    : server_(std::make_unique<httplib::Server>()) {
    errno = 0;
    const int bound = port == 0 ? server_->bind_to_any_port(kLoopback)
                                : (server_->bind_to_port(kLoopback, port) ? port : -1);
    if (bound <= 0) {
        const std::string reason = errno != 0 ? std::strerror(errno) : "the port is not free";
        throw Failure("cannot listen on " + std::string(kLoopback) + ":" +
                      std::to_string(port) + ": " + reason);
    }
    api_ = std::make_unique<StudioApi>(state, newToken(), bound);

    server_->set_payload_max_length(kMaxRequestBody);
    server_->set_read_timeout(kReadTimeoutSeconds, 0);
    const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        const ApiResponse answer = api_->handle(toApiRequest(request));
        response.status = answer.status;
        for (const auto& [name, value] : answer.headers) response.set_header(name, value);
        response.set_content(answer.body, answer.contentType.c_str());
    };
    // Refusals httplib makes itself (a body over the limit, a malformed
    // request) get a message like every other refusal.
    server_->set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return;
        const std::string message =
            response.status == 413
                ? "the request body is longer than " + std::to_string(kMaxRequestBody) + " bytes"
                : "the request was refused (HTTP " + std::to_string(response.status) + ")";
        response.set_content(nlohmann::json{{"error", message}}.dump(), "application/json");
    });
    server_->Get(".*", handler);
    server_->Post(".*", handler);
    server_->Put(".*", handler);
    server_->Patch(".*", handler);
    server_->Delete(".*", handler);
    server_->Options(".*", handler);
}

StudioServer::~StudioServer() { stop(); }

bool StudioServer::run() { return server_->listen_after_bind(); }

void StudioServer::stop() { server_->stop(); }

}  // namespace nacrelle::tools::studio
