#include "studio/studio_api.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <random>
#include <string_view>

#include "common/errors.h"
#include "studio/studio_page.h"

namespace nacrelle::tools::studio {

namespace {

/// Where the page's scripts are: /page/studio.js and the modules it imports.
constexpr std::string_view kScriptPath = "/page/";

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
    if (body.is_discarded()) throw BadValue("the request body is not valid JSON");
    if (!body.is_object()) throw BadValue("the request body must be a JSON object");
    return body;
}

std::string stringField(const nlohmann::json& body, const char* name) {
    if (!body.contains(name)) return {};
    if (!body[name].is_string()) throw BadValue(std::string("\"") + name + "\" must be a string");
    return body[name].get<std::string>();
}

bool booleanField(const nlohmann::json& body, const char* name) {
    if (!body.contains(name)) return false;
    if (!body[name].is_boolean())
        throw BadValue(std::string("\"") + name + "\" must be true or false");
    return body[name].get<bool>();
}

int integerField(const nlohmann::json& body, const char* name, int fallback) {
    if (!body.contains(name)) return fallback;
    const nlohmann::json& value = body[name];
    if (!value.is_number_integer() || value.get<std::int64_t>() < -1000000 ||
        value.get<std::int64_t>() > 1000000) {
        throw BadValue(std::string("\"") + name + "\" must be an integer");
    }
    return static_cast<int>(value.get<std::int64_t>());
}

/// A drag's number: any whole number a page's clock and counter make (up to
/// 2^53, the integers JavaScript holds exactly); 0 or none: no gesture.
std::uint64_t gestureField(const nlohmann::json& body) {
    constexpr std::uint64_t kLargest = std::uint64_t{1} << 53;
    if (!body.contains("gesture")) return 0;
    const nlohmann::json& value = body["gesture"];
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > kLargest) {
        throw BadValue("\"gesture\" must be a whole number from 0 to 2^53");
    }
    return value.get<std::uint64_t>();
}

/// A whole number the request may give; none when it does not.
std::optional<std::uint64_t> countField(const nlohmann::json& body, const char* name) {
    if (!body.contains(name)) return std::nullopt;
    const nlohmann::json& value = body[name];
    if (!value.is_number_unsigned()) {
        throw BadValue(std::string("\"") + name + "\" must be a whole number");
    }
    return value.get<std::uint64_t>();
}

std::uint64_t revisionOf(const ApiRequest& request) {
    const auto found = request.query.find("revision");
    if (found == request.query.end()) throw BadValue("say which revision (?revision=N)");
    const std::string& text = found->second;
    if (text.empty() || text.size() > 19 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        throw BadValue("revision \"" + text + "\" is not a whole number");
    }
    return std::stoull(text);
}

/// Query parameter `name`, a whole number from `low` to `high`; `fallback`
/// when the request does not give it.
int sizeOf(const ApiRequest& request, const char* name, int low, int high, int fallback) {
    const auto found = request.query.find(name);
    if (found == request.query.end()) return fallback;
    const std::string& text = found->second;
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(text) < low || std::stoi(text) > high) {
        throw BadValue(std::string(name) + " \"" + text + "\" must be a whole number from " +
                       std::to_string(low) + " to " + std::to_string(high));
    }
    return std::stoi(text);
}

ApiResponse picture(StudioState& state, Picture which, PictureFormat format,
                    const ApiRequest& request) {
    // The size the page shows it at, in the screen's pixels.
    PictureSize size;
    size.width = sizeOf(request, "width", 16, 4096, 0);
    size.height = sizeOf(request, "height", 16, 4096, 0);
    size.scale = sizeOf(request, "scale", 1, 4, 1);
    std::optional<std::vector<std::uint8_t>> bytes =
        state.render(which, revisionOf(request), format, size);
    ApiResponse response;
    // Superseded: no picture, and no error either; the page asks for the
    // newer revision's.
    if (!bytes) {
        response.status = 204;
        return response;
    }
    response.contentType = format == PictureFormat::Png ? "image/png" : "application/octet-stream";
    response.body.assign(bytes->begin(), bytes->end());
    return response;
}

/// The routes that take no body and change nothing.
std::optional<ApiResponse> routeGet(StudioState& state, const ApiRequest& request) {
    static const std::map<std::string, std::pair<Picture, PictureFormat>> kPictures{
        {"/api/swatch.png", {Picture::Swatch, PictureFormat::Png}},
        {"/api/chart.png", {Picture::Chart, PictureFormat::Png}},
        {"/api/viewport.png", {Picture::Viewport, PictureFormat::Png}},
        {"/api/swatch.rgba", {Picture::Swatch, PictureFormat::Pixels}},
        {"/api/viewport.rgba", {Picture::Viewport, PictureFormat::Pixels}},
        {"/api/swatch-draft.rgba", {Picture::DraftSwatch, PictureFormat::Pixels}},
        {"/api/chart.rgba", {Picture::Chart, PictureFormat::Pixels}},
    };
    if (request.path == "/api/state") return jsonResponse(200, state.describe());
    if (request.path == "/api/events") {
        ApiResponse response;
        response.contentType = "text/event-stream";
        // A lost stream is taken up again after a second; the page then
        // asks for the state it may have missed.
        response.body = "retry: 1000\n\n";
        response.eventStream = true;
        return response;
    }
    if (request.path == "/api/presets") return jsonResponse(200, StudioState::presets());
    if (const auto found = kPictures.find(request.path); found != kPictures.end()) {
        return picture(state, found->second.first, found->second.second, request);
    }
    return std::nullopt;
}

/// The routes that change the scene: each answers with the new state.
std::optional<ApiResponse> routePost(StudioState& state, const ApiRequest& request) {
    const std::string& path = request.path;
    const nlohmann::json body = bodyObject(request);
    const StudioState::Expected expected{countField(body, "revision"),
                                         countField(body, "document")};
    const auto at = [&](const std::function<nlohmann::json()>& change, bool keepsPictures = false) {
        return jsonResponse(200, state.atRevision(expected, change, keepsPictures));
    };
    if (path == "/api/panel") {
        const int panel = integerField(body, "panel", 0);
        const int id = integerField(body, "id", 0);
        const std::string action = stringField(body, "action");
        const std::string text = stringField(body, "text");
        const int steps = integerField(body, "steps", 0);
        const std::uint64_t gesture = gestureField(body);
        const int item = integerField(body, "item", -1);
        return at([&] { return state.panelInput(panel, id, action, text, steps, gesture, item); });
    }
    if (path == "/api/thickness-map") {
        const std::string kind = stringField(body, "kind");
        const std::string file = stringField(body, "file");
        return at([&] { return state.setThicknessMap(kind, file); });
    }
    if (path == "/api/preset") {
        const std::string name = stringField(body, "name");
        return at([&] { return state.applyPreset(name); });
    }
    if (path == "/api/reset") {
        if (booleanField(body, "all")) return at([&] { return state.resetAll(); });
        const int panel = integerField(body, "panel", 0);
        const int id = integerField(body, "id", 0);
        return at([&] { return state.resetParameter(panel, id); });
    }
    if (path == "/api/undo") return at([&] { return state.undo(); });
    if (path == "/api/redo") return at([&] { return state.redo(); });
    if (path == "/api/scene/new") return at([&] { return state.newScene(); });
    if (path == "/api/scene/open") {
        const std::string file = stringField(body, "file");
        return at([&] { return state.openScene(file); });
    }
    if (path == "/api/scene/reload") return at([&] { return state.reloadScene(); });
    if (path == "/api/scene/save") {
        const std::string file = stringField(body, "file");
        const bool replace = booleanField(body, "replace");
        const bool anyway = booleanField(body, "anyway");
        return at([&] { return state.saveScene(file, replace, anyway); }, true);
    }
    return std::nullopt;
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
    // The icon and the page's scripts show nothing of the scene: the browser
    // asks for them without the token (the icon is the default swatch; a
    // module script is fetched by its address alone).
    const bool open = request.method == "GET" &&
                      (request.path == "/favicon.ico" || request.path.starts_with(kScriptPath));
    const auto token = request.query.find("token");
    if (!open && (token == request.query.end() || !sameSecret(token->second, token_))) {
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
    // Opening the page itself is allowed from anywhere (the launch file of
    // `--open` is another site to the browser): it changes nothing, and
    // the page may not be framed.
    const bool openingThePage = request.method == "GET" && request.path == "/" &&
                                header(request, "sec-fetch-mode") == "navigate" &&
                                header(request, "sec-fetch-dest") == "document";
    if (header(request, "sec-fetch-site") == "cross-site" && !openingThePage) {
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
    } catch (const Conflict& error) {
        response = errorResponse(409, error.what(), error.kind());
        if (error.kind() == "stale") {
            // What the tab missed, so that it shows the scene as it is.
            nlohmann::json body = nlohmann::json::parse(response.body);
            body["state"] = state_.describe();
            response = jsonResponse(409, body);
        }
    } catch (const NotFound& error) {
        response = errorResponse(404, error.what());
    } catch (const Refused& error) {
        response = errorResponse(403, error.what());
    } catch (const BadValue& error) {
        response = errorResponse(400, error.what());
    } catch (const Failure& error) {
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
        if (pageOpened_) pageOpened_();
        ApiResponse response;
        response.contentType = "text/html; charset=utf-8";
        response.body = std::string(kStudioPage);
        // Everything the page needs is in it or on this server, and it
        // talks only to this server (its WebSocket named outright: not every
        // browser counts ws: as the page's own scheme).
        const std::string port = std::to_string(port_);
        response.headers.emplace_back(
            "Content-Security-Policy",
            "default-src 'none'; script-src 'self'; style-src 'unsafe-inline'; "
            "img-src 'self'; connect-src 'self' ws://127.0.0.1:" + port + " ws://localhost:" +
                port + "; base-uri 'none'; form-action 'none'");
        return response;
    }
    if (path == "/favicon.ico" && get) {
        ApiResponse response;
        response.contentType = "image/png";
        response.body.assign(state_.icon().begin(), state_.icon().end());
        return response;
    }
    if (path.starts_with(kScriptPath) && get) {
        const std::string_view script = studioScript(std::string_view(path).substr(kScriptPath.size()));
        if (script.empty()) return errorResponse(404, "nothing at " + path);
        ApiResponse response;
        response.contentType = "text/javascript; charset=utf-8";
        response.body = std::string(script);
        return response;
    }
    if (get) {
        if (std::optional<ApiResponse> response = routeGet(state_, request)) return *response;
    }
    if (post) {
        if (std::optional<ApiResponse> response = routePost(state_, request)) return *response;
    }
    for (const char* known :
         {"/", "/favicon.ico", "/api/state", "/api/events", "/api/presets", "/api/swatch.png",
          "/api/chart.png", "/api/viewport.png", "/api/swatch.rgba", "/api/swatch-draft.rgba",
          "/api/chart.rgba", "/api/viewport.rgba", "/api/panel", "/api/thickness-map",
          "/api/preset",
          "/api/reset", "/api/undo", "/api/redo", "/api/scene/new", "/api/scene/open",
          "/api/scene/reload", "/api/scene/save"}) {
        if (path == known) return errorResponse(405, request.method + " is not used on " + path);
    }
    return errorResponse(404, "nothing at " + path);
}

}  // namespace nacrelle::tools::studio
