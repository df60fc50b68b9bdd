// The studio's requests and answers, apart from any socket: the HTTP server
// hands each request here, and tests and the fuzz target call it directly.
//
// Every request must carry the run's token (query parameter "token"), name
// this server in its Host header and, when it has an Origin, come from this
// server's own page; anything else is refused before it is looked at, so
// that another web page cannot drive the studio (DNS rebinding included).
//
//   GET  /                     the page
//   GET  /favicon.ico          its icon, the default swatch (PNG); the one
//                              request answered without the token
//   GET  /api/state            everything the page shows (JSON)
//   GET  /api/presets          the presets with their values and sources (JSON)
//   GET  /api/events           describe() after every change, whichever tab made it: as
//                              a WebSocket's text messages when the request asks for one
//                              (the server answers the upgrade), else as server-sent
//                              events ("data: ...")
//   POST /api/panel            {"panel", "id", "action": type|spin|click|select|press, "text",
//                               "steps", "item" (of a drop-down list, from 0), "gesture" (the
//                               steps of one drag share it: one undo step)}
//   POST /api/thickness-map    {"kind": none|gradient|noise|bitmap, "file"}
//   POST /api/preset           {"name"}
//   POST /api/reset            {"panel", "id"} (that control's parameter), or {"all": true}
//   POST /api/undo, /api/redo  {}
//   POST /api/scene/new        {}
//   POST /api/scene/open       {"file"}
//   POST /api/scene/reload     {} (the open file again, dropping the changes)
//   POST /api/scene/save       {"file" (empty: the open file), "replace", "anyway"}
// Every POST may say "revision": the revision its tab shows, and
// "document": the document (of /api/state) its edit began in; a change meant
// for another revision than the current one, or an edit begun before a New,
// Open, Reload, Undo or Redo, is refused (409, conflict "stale", with
// "state": the scene as it is now). The steps of one drag never go on past
// one of those.
//   GET  /api/swatch.png?revision=N, /api/chart.png?revision=N
//   GET  /api/swatch.rgba?revision=N, /api/chart.rgba?revision=N: the same
//        pixels bare, 8-bit RGBA rows, at the sizes /api/state gives
//   GET  /api/swatch-draft.rgba?revision=N: the swatch at half its size, for
//        a drag in progress
//   Each picture may say the size the page shows it at, in the screen's
//   pixels: &width=W (a square's side; 16 to 4096), &height=H (the chart's),
//   &scale=S (the screen's pixels to the page's, 1 to 4: the chart's text
//   and lines grow by it)
//
// Refusals are 4xx answers with {"error": message}: 400 for a bad value or
// work that could not be done, 403 refused, 404 not found, 409 a conflict,
// with "conflict" naming it where the page offers ways on (see Conflict in
// common/errors.h). A picture whose revision a newer
// change has superseded is answered 204, without a body.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "studio/studio_state.h"

namespace nacrelle::tools::studio {

/// Largest request body taken; the server refuses longer ones unread.
inline constexpr std::size_t kMaxRequestBody = 64 * 1024;

struct ApiRequest {
    std::string method;  ///< "GET", "POST", ...
    std::string path;    ///< without the query
    std::map<std::string, std::string> query;
    /// Header values by lower-case name.
    std::map<std::string, std::string> headers;
    std::string body;
};

struct ApiResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    /// The answer goes on as an event stream: `body` is its start, and the
    /// server sends every change after it (StudioState::onChange).
    bool eventStream = false;
};

class StudioApi {
public:
    /// `port` is the one the server listens on: requests must name it.
    StudioApi(StudioState& state, std::string token, int port);

    /// Answers one request; never throws.
    ApiResponse handle(const ApiRequest& request) const;

    /// Called, from any thread, whenever the page itself is served (a
    /// browser has followed the address); set before serving.
    void onPageOpened(std::function<void()> listener) { pageOpened_ = std::move(listener); }

    const std::string& token() const { return token_; }
    /// The address to print and open: http://127.0.0.1:PORT/?token=TOKEN.
    std::string address() const;

private:
    ApiResponse route(const ApiRequest& request) const;
    /// Empty when the request may be served, else why not.
    std::string refusal(const ApiRequest& request) const;

    StudioState& state_;
    std::string token_;
    int port_;
    std::function<void()> pageOpened_;
};

/// 128 random bits as 32 hex digits.
std::string newToken();

}  // namespace nacrelle::tools::studio
