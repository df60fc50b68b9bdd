#include "tools/studio/studio_api.h"

#include <cstdint>
#include <exception>
#include <random>
#include <string_view>

#include "tools/errors.h"
#include "tools/studio/studio_page.h"

namespace nacrelle::tools::studio {

namespace {

ApiResponse jsonResponse(int status, const nlohmann::json& body) {
    ApiResponse response;
    response.status = status;
    // Invalid UTF-8 from a file name must not end the answer.
    response.body = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return response;
}

ApiResponse errorResponse(int status, const std::string& message,
                          const std::string& conflict = {}) {
    nlohmann::json body = {{"error", message}};
    if (!conflict.empty()) body["conflict"] = conflict;
    return jsonResponse(status, body);
}

/// Compares without stopping at the first difference, so that the time an
/// answer takes tells nothing about the token.
bool sameSecret(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

std::string header(const ApiRequest& request, const std::string& name) {
    const auto found = request.headers.find(name);
    return found == request.headers.end() ? std::string() : found->second;
}

nlohmann::json bodyObject(const ApiRequest& request) {
    if (request.body.empty()) return nlohmann::json::object();
    nlohmann::json body = nlohmann::json::parse(request.body, nullptr, false);
    if (body.is_discarded()) throw ApiError(400, "the request body is not valid JSON");
    if (!body.is_object()) throw ApiError(400, "the request body must be a JSON object");
    return body;
}

std::string stringField(const nlohmann::json& body, const char* name) {
    if (!body.contains(name)) return {};
    if (!body[name].is_string()) throw ApiError(400, std::string("\"") + name + "\" must be a string");
    return body[name].get<std::string>();
}

bool booleanField(const nlohmann::json& body, const char* name) {
    if (!body.contains(name)) return false;
    if (!body[name].is_boolean())
        throw ApiError(400, std::string("\"") + name + "\" must be true or false");
    return body[name].get<bool>();
}

int integerField(const nlohmann::json& body, const char* name, int fallback) {
    if (!body.contains(name)) return fallback;
    const nlohmann::json& value = body[name];
    if (!value.is_number_integer() || value.get<std::int64_t>() < -1000000 ||
        value.get<std::int64_t>() > 1000000) {
        throw ApiError(400, std::string("\"") + name + "\" must be an integer");
    }
    return static_cast<int>(value.get<std::int64_t>());
}

std::uint64_t revisionOf(const ApiRequest& request) {
    const auto found = request.query.find("revision");
    if (found == request.query.end()) throw ApiError(400, "say which revision (?revision=N)");
    const std::string& text = found->second;
    if (text.empty() || text.size() > 19 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        throw ApiError(400, "revision \"" + text + "\" is not a whole number");
    }
    return std::stoull(text);
}

ApiResponse picture(StudioState& state, Picture which, const ApiRequest& request) {
    std::optional<std::vector<std::uint8_t>> png = state.render(which, revisionOf(request));
    ApiResponse response;
    // Superseded: no picture, and no error either; the page asks for the
    // newer revision's.
    if (!png) {
        response.status = 204;
        return response;
    }
    response.contentType = "image/png";
    response.body.assign(png->begin(), png->end());
    return response;
}

}  // namespace

std::string newToken() {
    std::random_device device;
    std::string token;
    static constexpr char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 4; ++i) {
        std::uint32_t bits = device();
        for (int j = 0; j < 8; ++j, bits >>= 4) token += kHex[bits & 0xF];
    }
    return token;
}

StudioApi::StudioApi(StudioState& state, std::string token, int port)
    : state_(state), token_(std::move(token)), port_(port) {}

std::string StudioApi::address() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + token_;
}

std::string StudioApi::refusal(const ApiRequest& request) const {
    const auto token = request.query.find("token");
    if (token == request.query.end() || !sameSecret(token->second, token_)) {
        return "this address needs the token that `nacrelle studio` printed";
    }
    const std::string port = std::to_string(port_);
    const std::string host = header(request, "host");
    if (host != "127.0.0.1:" + port && host != "localhost:" + port) {
        return "requests must be addressed to 127.0.0.1:" + port;
    }
    const auto origin = request.headers.find("origin");
    if (origin != request.headers.end() && origin->second != "http://127.0.0.1:" + port &&
        origin->second != "http://localhost:" + port) {
        return "requests from another site's pages are refused";
    }
    if (header(request, "sec-fetch-site") == "cross-site") {
        return "requests from another site's pages are refused";
    }
    return {};
}

ApiResponse StudioApi::handle(const ApiRequest& request) const {
    ApiResponse response;
    try {
        if (request.body.size() > kMaxRequestBody) {
            response = errorResponse(413, "the request body is longer than " +
                                              std::to_string(kMaxRequestBody) + " bytes");
        } else if (const std::string why = refusal(request); !why.empty()) {
            response = errorResponse(403, why);
        } else {
            response = route(request);
        }
    } catch (const ApiError& error) {
        response = errorResponse(error.status(), error.what(), error.conflict());
    } catch (const UsageError& error) {
        response = errorResponse(400, error.what());
    } catch (const std::exception& error) {
        response = errorResponse(500, error.what());
    }
    // The address carries the token: keep it out of Referer headers, caches
    // and other sites' frames.
    response.headers.emplace_back("Referrer-Policy", "no-referrer");
    response.headers.emplace_back("Cache-Control", "no-store");
    response.headers.emplace_back("X-Frame-Options", "DENY");
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    return response;
}

ApiResponse StudioApi::route(const ApiRequest& request) const {
    const std::string& path = request.path;
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    if (path == "/" && get) {
        ApiResponse response;
        response.contentType = "text/html; charset=utf-8";
        response.body = std::string(kStudioPage);
        // Everything the page needs is in it; it talks only to this server.
        response.headers.emplace_back(
            "Content-Security-Policy",
            "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
            "img-src 'self' blob:; connect-src 'self'; base-uri 'none'; form-action 'none'");
        return response;
    }
    if (path == "/api/state" && get) return jsonResponse(200, state_.describe());
    if (path == "/api/swatch.png" && get) return picture(state_, Picture::Swatch, request);
    if (path == "/api/chart.png" && get) return picture(state_, Picture::Chart, request);
    if (post) {
        const nlohmann::json body = bodyObject(request);
        if (path == "/api/panel") {
            return jsonResponse(200, state_.panelInput(integerField(body, "panel", 0),
                                                       integerField(body, "id", 0),
                                                       stringField(body, "action"),
                                                       stringField(body, "text"),
                                                       integerField(body, "steps", 0)));
        }
        if (path == "/api/thickness-map") {
            return jsonResponse(200, state_.setThicknessMap(stringField(body, "kind"),
                                                            stringField(body, "file")));
        }
        if (path == "/api/scene/new") return jsonResponse(200, state_.newScene());
        if (path == "/api/scene/open") {
            return jsonResponse(200, state_.openScene(stringField(body, "file")));
        }
        if (path == "/api/scene/reload") return jsonResponse(200, state_.reloadScene());
        if (path == "/api/scene/save") {
            return jsonResponse(
                200, state_.saveScene(stringField(body, "file"), booleanField(body, "replace"),
                                      booleanField(body, "anyway")));
        }
    }
    for (const char* known : {"/", "/api/state", "/api/swatch.png", "/api/chart.png", "/api/panel",
                              "/api/thickness-map", "/api/scene/new", "/api/scene/open",
                              "/api/scene/reload", "/api/scene/save"}) {
        if (path == known) return errorResponse(405, request.method + " is not used on " + path);
    }
    return errorResponse(404, "nothing at " + path);
}

}  // namespace nacrelle::tools::studio
