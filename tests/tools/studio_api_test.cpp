// The studio's request handling without a socket: who may ask, what bad
// requests get, and many requests at once (run under ASan and TSan too).
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>
#include <vector>

#include <png/png_codec.h>

#include "program_run.h"
#include "app/session/host_session.h"
#include "studio/studio_api.h"

namespace nacrelle::tools::studio {
namespace {

constexpr int kPort = 48123;

class StudioApiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { session_ = new HostSession(NACRELLE_MODULE); }
    static void TearDownTestSuite() {
        delete session_;
        session_ = nullptr;
    }

    StudioApiTest() {
        std::filesystem::create_directory(dir_);
        options_.swatchSize = 48;
        options_.chartWidth = 160;
        options_.chartHeight = 120;
        state_ = std::make_unique<StudioState>(*session_, options_);
        api_ = std::make_unique<StudioApi>(*state_, "secret", kPort);
    }

    ~StudioApiTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    /// Starts the studio again, on `sceneFile`.
    void reopen(const std::string& sceneFile) {
        api_.reset();
        state_.reset();
        options_.sceneFile = sceneFile;
        state_ = std::make_unique<StudioState>(*session_, options_);
        api_ = std::make_unique<StudioApi>(*state_, "secret", kPort);
    }

    static std::string bytesOf(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    ApiRequest request(const std::string& method, const std::string& path,
                       const std::string& body = "") const {
        ApiRequest r;
        r.method = method;
        r.path = path;
        r.query["token"] = "secret";
        r.headers["host"] = "127.0.0.1:" + std::to_string(kPort);
        r.headers["origin"] = "http://127.0.0.1:" + std::to_string(kPort);
        r.body = body;
        return r;
    }

    nlohmann::json stateNow() const {
        return nlohmann::json::parse(api_->handle(request("GET", "/api/state")).body);
    }

    static nlohmann::json control(const nlohmann::json& state, int id, const char* kind) {
        for (const auto& c : state["rollouts"][0]["controls"]) {
            if (c["id"] == id && c["kind"] == kind) return c;
        }
        return nullptr;
    }

    static inline HostSession* session_ = nullptr;
    // A folder of the test's own, for the files it saves.
    std::filesystem::path dir_ = std::filesystem::temp_directory_path() /
                                 ("nacrelle-studio-test-" + std::to_string(std::random_device{}()));
    StudioOptions options_;
    std::unique_ptr<StudioState> state_;
    std::unique_ptr<StudioApi> api_;
};

TEST_F(StudioApiTest, RefusesRequestsWithoutTokenOrFromElsewhere) {
    EXPECT_EQ(api_->handle(request("GET", "/")).status, 200);
    // The page opened from another site (the launch file of --open) is
    // served; it changes nothing.
    ApiRequest opened = request("GET", "/");
    opened.headers.erase("origin");
    opened.headers["sec-fetch-site"] = "cross-site";
    opened.headers["sec-fetch-mode"] = "navigate";
    opened.headers["sec-fetch-dest"] = "document";
    EXPECT_EQ(api_->handle(opened).status, 200);
    // The icon and the page's scripts are the things served without the
    // token, and only to this host; the page allows scripts from here alone.
    ApiRequest icon = request("GET", "/favicon.ico");
    icon.query.clear();
    const ApiResponse iconAnswer = api_->handle(icon);
    EXPECT_EQ(iconAnswer.status, 200);
    EXPECT_EQ(iconAnswer.contentType, "image/png");
    EXPECT_EQ(iconAnswer.body.substr(1, 3), "PNG");
    icon.headers["host"] = "evil.example:48123";
    EXPECT_EQ(api_->handle(icon).status, 403);
    ApiRequest script = request("GET", "/page/studio.js");
    script.query.clear();
    const ApiResponse scriptAnswer = api_->handle(script);
    EXPECT_EQ(scriptAnswer.status, 200);
    EXPECT_EQ(scriptAnswer.contentType, "text/javascript; charset=utf-8");
    EXPECT_NE(scriptAnswer.body.find("import "), std::string::npos);
    script.path = "/page/studio.css";
    EXPECT_EQ(api_->handle(script).status, 404);
    script.path = "/api/state";
    EXPECT_EQ(api_->handle(script).status, 403);
    const ApiResponse page = api_->handle(request("GET", "/"));
    const auto& pageHeaders = page.headers;
    const auto policy = std::find_if(pageHeaders.begin(), pageHeaders.end(), [](const auto& h) {
        return h.first == "Content-Security-Policy";
    });
    ASSERT_NE(policy, pageHeaders.end());
    EXPECT_NE(policy->second.find("script-src 'self';"), std::string::npos);
    struct Case {
        const char* what;
        std::function<void(ApiRequest&)> spoil;
    };
    const std::vector<Case> cases = {
        {"no token", [](ApiRequest& r) { r.query.erase("token"); }},
        {"wrong token", [](ApiRequest& r) { r.query["token"] = "secreT"; }},
        {"longer token", [](ApiRequest& r) { r.query["token"] = "secret0"; }},
        {"rebound host", [](ApiRequest& r) { r.headers["host"] = "evil.example:48123"; }},
        {"other port", [](ApiRequest& r) { r.headers["host"] = "127.0.0.1:1"; }},
        {"no host", [](ApiRequest& r) { r.headers.erase("host"); }},
        {"foreign origin", [](ApiRequest& r) { r.headers["origin"] = "http://evil.example"; }},
        {"null origin", [](ApiRequest& r) { r.headers["origin"] = "null"; }},
        {"cross-site fetch", [](ApiRequest& r) { r.headers["sec-fetch-site"] = "cross-site"; }},
        {"cross-site navigation to a change", [](ApiRequest& r) {
             r.headers["sec-fetch-site"] = "cross-site";
             r.headers["sec-fetch-mode"] = "navigate";
             r.headers["sec-fetch-dest"] = "document";
         }},
    };
    const std::uint64_t revision = stateNow()["revision"];
    for (const Case& c : cases) {
        ApiRequest r = request("POST", "/api/panel", R"({"id":1490,"action":"type","text":"900"})");
        c.spoil(r);
        const ApiResponse answer = api_->handle(r);
        EXPECT_EQ(answer.status, 403) << c.what;
        EXPECT_TRUE(nlohmann::json::parse(answer.body).contains("error")) << c.what;
    }
    EXPECT_EQ(stateNow()["revision"], revision);
    EXPECT_EQ(control(stateNow(), 1490, "edit")["value"], 250.0);
}

TEST_F(StudioApiTest, BadRequestsGetClearErrorsAndChangeNothing) {
    struct Case {
        const char* method;
        const char* path;
        std::string body;
        int status;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"POST", "/api/panel", "{", 400, "not valid JSON"},
        {"POST", "/api/panel", "[1]", 400, "JSON object"},
        {"POST", "/api/panel", R"({"id":"1490","action":"type"})", 400, "\"id\" must be an integer"},
        {"POST", "/api/panel", R"({"id":1490,"action":"type","text":"abc"})", 400, "not a number"},
        {"POST", "/api/panel", R"({"id":1490,"action":"type","text":"0x10"})", 400, "decimal"},
        {"POST", "/api/panel", R"({"id":1490,"action":"bend"})", 400, "unknown action"},
        {"POST", "/api/panel", R"({"id":4242,"action":"click"})", 400, "4242"},
        {"POST", "/api/panel", R"({"id":1003,"action":"select","item":0})", 400,
         "no drop-down list"},
        {"POST", "/api/panel", R"({"panel":9,"id":1490,"action":"type"})", 404, "no panel 9"},
        {"POST", "/api/panel", R"({"id":1491,"action":"type","text":"600"})", 400, ""},
        {"POST", "/api/thickness-map", R"({"kind":"noise"})", 409, "switched off"},
        {"POST", "/api/scene/open", R"({"file":"/nonexistent/film.nscene"})", 400, "nonexistent"},
        {"POST", "/api/scene/save", R"({"file":""})", 400, "say which scene file"},
        {"POST", "/api/panel", std::string(kMaxRequestBody + 1, ' '), 413, "longer than"},
        {"GET", "/api/swatch.png", "", 400, "revision"},
        {"GET", "/api/swatch.png?revision=x", "", 400, "revision"},
        {"GET", "/api/chart.rgba", "", 400, "revision"},
        {"POST", "/api/undo", "", 409, "nothing to undo"},
        {"POST", "/api/redo", "", 409, "nothing to redo"},
        {"POST", "/api/preset", R"({"name":"glass"})", 404, "unknown preset"},
        {"POST", "/api/reset", R"({"id":4242})", 404, "no control 4242"},
        {"POST", "/api/panel", R"({"id":1496,"action":"spin","steps":1,"gesture":-3})", 400, "gesture"},
        {"POST", "/api/scene/save", R"({"file":".nscene"})", 400, "needs a name before"},
        {"POST", "/api/scene/save", R"({"file":"lpt1.txt.nscene"})", 400, "for a device"},
        {"POST", "/api/scene/save", R"({"file":"COM\u00b9.nscene"})", 400, "for a device"},
        {"POST", "/api/scene/save", R"({"file":"Aux .nscene"})", 400, "for a device"},
        {"POST", "/api/scene/save", R"({"file":"x.nscene:s.nscene"})", 400, "colon"},
        {"DELETE", "/api/state", "", 405, "DELETE"},
        {"GET", "/etc/passwd", "", 404, "nothing at"},
    };
    const nlohmann::json before = stateNow();
    for (const Case& c : cases) {
        std::string path = c.path;
        ApiRequest r = request(c.method, path.substr(0, path.find('?')), c.body);
        if (path.find("revision=x") != std::string::npos) r.query["revision"] = "x";
        const ApiResponse answer = api_->handle(r);
        EXPECT_EQ(answer.status, c.status) << c.path << " " << c.body.substr(0, 60);
        const nlohmann::json reply = nlohmann::json::parse(answer.body, nullptr, false);
        ASSERT_TRUE(reply.is_object() && reply["error"].is_string()) << answer.body;
        EXPECT_NE(reply["error"].get<std::string>().find(c.message), std::string::npos)
            << reply["error"];
    }
    EXPECT_EQ(stateNow(), before);
}

TEST_F(StudioApiTest, UndoTakesADragBackWholeAndKnowsTheSavedState) {
    const nlohmann::json defaults = stateNow();
    const auto post = [&](const char* path, const std::string& body = "{}") {
        const ApiResponse answer = api_->handle(request("POST", path, body));
        EXPECT_EQ(answer.status, 200) << path << " " << answer.body;
        return nlohmann::json::parse(answer.body);
    };
    const auto value = [](const nlohmann::json& state, int id) {
        return control(state, id, "edit")["value"].get<double>();
    };
    const std::string drag = R"({"id":1496,"action":"spin","steps":3,"gesture":7})";
    post("/api/panel", drag);
    const nlohmann::json dragged = post("/api/panel", drag);
    const double step = control(dragged, 1496, "spinner")["step"];
    EXPECT_EQ(value(dragged, 1490), value(defaults, 1490) + 6 * step);
    post("/api/panel", R"({"id":1502,"action":"type","text":"90"})");
    EXPECT_EQ(post("/api/scene/save", R"({"file":")" + (dir_ / "h.nscene").generic_string() +
                                          R"("})")["undoSteps"], 2);

    nlohmann::json state = post("/api/undo");
    EXPECT_TRUE(state["unsaved"]);
    EXPECT_EQ(value(state, 1502), 0.0);
    state = post("/api/undo");
    EXPECT_EQ(state["rollouts"], defaults["rollouts"]);
    EXPECT_EQ(state["undoSteps"], 0);
    EXPECT_EQ(state["redoSteps"], 2);
    post("/api/redo");
    state = post("/api/redo");
    EXPECT_FALSE(state["unsaved"]);
    EXPECT_EQ(value(state, 1502), 90.0);

    // A preset over the defaults, then everything back to them; each one step.
    state = post("/api/preset", R"({"name":"oil-on-water"})");
    EXPECT_EQ(state["thicknessMap"]["kind"], "noise");
    EXPECT_EQ(value(post("/api/reset", R"({"id":1490})"), 1490), value(defaults, 1490));
    state = post("/api/reset", R"({"all":true})");
    EXPECT_EQ(state["rollouts"], defaults["rollouts"]);
    EXPECT_EQ(state["thicknessMap"]["kind"], "none");
    EXPECT_EQ(post("/api/undo")["thicknessMap"]["kind"], "noise");
}

TEST_F(StudioApiTest, PickingAListItemIsOneStepOfTheHistory) {
    // The drop-down list, wherever the panels have it.
    const auto list = [](const nlohmann::json& state) {
        for (const auto& rollout : state["rollouts"]) {
            for (const auto& c : rollout["controls"]) {
                if (c["kind"] == "drop-down list") return std::make_pair(rollout["panel"], c);
            }
        }
        return std::make_pair(nlohmann::json(), nlohmann::json());
    };
    const nlohmann::json before = stateNow();
    const auto [panel, shown] = list(before);
    ASSERT_TRUE(shown.is_object()) << "no drop-down list in the studio's panels";
    ASSERT_GE(shown["items"].size(), 2u);
    EXPECT_EQ(shown["value"], shown["default"]);
    const int last = static_cast<int>(shown["items"].size()) - 1;
    const nlohmann::json body = {{"panel", panel}, {"id", shown["id"]}, {"action", "select"},
                                 {"item", last}};
    const ApiResponse answer = api_->handle(request("POST", "/api/panel", body.dump()));
    ASSERT_EQ(answer.status, 200) << answer.body;
    const nlohmann::json after = nlohmann::json::parse(answer.body);
    EXPECT_EQ(list(after).second["value"], last);
    EXPECT_EQ(list(after).second["text"], shown["items"][last]);
    EXPECT_EQ(after["undoSteps"], before["undoSteps"].get<int>() + 1);

    nlohmann::json outside = body;
    outside["item"] = last + 1;
    const ApiResponse refused = api_->handle(request("POST", "/api/panel", outside.dump()));
    EXPECT_EQ(refused.status, 400);
    EXPECT_NE(refused.body.find("is not in the list"), std::string::npos) << refused.body;

    const ApiResponse undone = api_->handle(request("POST", "/api/undo", "{}"));
    ASSERT_EQ(undone.status, 200) << undone.body;
    EXPECT_EQ(nlohmann::json::parse(undone.body)["rollouts"], before["rollouts"]);
}

TEST_F(StudioApiTest, BarePixelsAreThoseOfThePng) {
    const nlohmann::json state = stateNow();
    for (const char* name : {"swatch", "viewport", "chart"}) {
        ApiRequest png = request("GET", std::string("/api/") + name + ".png");
        png.query["revision"] = std::to_string(state["revision"].get<int>());
        ApiRequest rgba = png;
        rgba.path = std::string("/api/") + name + ".rgba";
        const ApiResponse pixels = api_->handle(rgba);
        const int width = state[name][0], height = state[name][1];
        ASSERT_EQ(pixels.body.size(), static_cast<std::size_t>(width) * height * 4) << name;
        const std::vector<std::uint8_t> bytes(pixels.body.begin(), pixels.body.end());
        const std::vector<std::uint8_t> encoded = standin::EncodePngRgba(width, height, 8, true, bytes);
        EXPECT_EQ(std::string(encoded.begin(), encoded.end()), api_->handle(png).body) << name;
    }
    // A drag's draft: the swatch at half its size.
    ApiRequest draft = request("GET", "/api/swatch-draft.rgba");
    draft.query["revision"] = std::to_string(state["revision"].get<int>());
    const int half = state["draftSwatch"][0];
    EXPECT_EQ(half, state["swatch"][0].get<int>() / 2);
    EXPECT_EQ(api_->handle(draft).body.size(), static_cast<std::size_t>(half) * half * 4);
}

TEST_F(StudioApiTest, PicturesOfASupersededRevisionAreRefused) {
    const std::uint64_t first = stateNow()["revision"];
    ApiRequest swatch = request("GET", "/api/swatch.png");
    swatch.query["revision"] = std::to_string(first);
    const ApiResponse old = api_->handle(swatch);
    ASSERT_EQ(old.status, 200);
    EXPECT_EQ(old.body.substr(1, 3), "PNG");

    const ApiResponse changed = api_->handle(
        request("POST", "/api/panel", R"({"id":1502,"action":"type","text":"90"})"));
    ASSERT_EQ(changed.status, 200) << changed.body;
    EXPECT_EQ(nlohmann::json::parse(changed.body)["revision"], first + 1);
    // No picture, and no error: the page asks for the newer one.
    EXPECT_EQ(api_->handle(swatch).status, 204);
    EXPECT_EQ(api_->handle(swatch).body, "");
    swatch.query["revision"] = std::to_string(first + 1);
    const ApiResponse now = api_->handle(swatch);
    ASSERT_EQ(now.status, 200);
    EXPECT_NE(now.body, old.body);
}

TEST_F(StudioApiTest, ParallelRequestsAreServedOneChangeAtATime) {
    constexpr int kThreads = 6;
    constexpr int kRequestsEach = 25;
    std::atomic<int> unexpected{0};
    std::atomic<int> spinsSent{0};
    const int first = stateNow()["revision"].get<int>();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRequestsEach; ++i) {
                ApiResponse answer;
                switch ((t + i) % 4) {
                    case 0:
                        answer = api_->handle(request(
                            "POST", "/api/panel", R"({"id":1503,"action":"spin","steps":3})"));
                        ++spinsSent;
                        break;
                    case 1: answer = api_->handle(request("GET", "/api/state")); break;
                    default: {
                        ApiRequest r = request("GET", (t + i) % 4 == 2 ? "/api/swatch.png"
                                                                         : "/api/chart.png");
                        r.query["revision"] = std::to_string(stateNow()["revision"].get<int>());
                        answer = api_->handle(r);
                    }
                }
                // 204: a change superseded the picture's revision meanwhile.
                if (answer.status != 200 && answer.status != 204) ++unexpected;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(unexpected.load(), 0);
    // Every spin of every thread counted once: none was lost to a race.
    EXPECT_EQ(stateNow()["revision"].get<int>(), first + spinsSent.load());
}

TEST_F(StudioApiTest, EveryTabHearsEachChangeAndAChangeForAnOlderRevisionIsRefused) {
    std::vector<nlohmann::json> heard;
    state_->onChange([&](const std::string& text) { heard.push_back(nlohmann::json::parse(text)); });
    const auto post = [&](const char* path, const std::string& body) {
        return api_->handle(request("POST", path, body));
    };
    const std::uint64_t start = stateNow()["revision"];
    const auto at = [](std::uint64_t revision) { return std::to_string(revision); };
    const std::string spin = R"({"id":1496,"action":"spin","steps":2,"revision":)";

    // Two tabs drag at once, both at the revision they were shown: the
    // first drag goes on; the other is told, and starts again from the
    // scene as it is. Each drag is one step.
    EXPECT_EQ(post("/api/panel", spin + at(start) + R"(,"gesture":1})").status, 200);
    const ApiResponse stale = post("/api/panel", spin + at(start) + R"(,"gesture":2})");
    EXPECT_EQ(stale.status, 409);
    const nlohmann::json refused = nlohmann::json::parse(stale.body);
    EXPECT_EQ(refused["conflict"], "stale");
    EXPECT_EQ(refused["state"]["revision"], start + 1);
    EXPECT_EQ(post("/api/panel", spin + at(start + 1) + R"(,"gesture":1})").status, 200);
    EXPECT_EQ(post("/api/panel", spin + at(start + 2) + R"(,"gesture":2})").status, 200);
    EXPECT_EQ(post("/api/panel", spin + at(start + 2) + R"(,"gesture":1})").status, 409);
    EXPECT_EQ(stateNow()["undoSteps"], 2);
    // An undo meant for an older scene undoes nothing the tab has not seen.
    EXPECT_EQ(post("/api/undo", R"({"revision":)" + at(start + 2) + "}").status, 409);
    EXPECT_EQ(stateNow()["undoSteps"], 2);

    // Every accepted change was heard, in order, whole; a save that changes
    // nothing on screen is heard too, at the same revision.
    ASSERT_EQ(heard.size(), 3u);
    for (std::size_t i = 0; i < heard.size(); ++i) {
        EXPECT_EQ(heard[i]["revision"], start + 1 + i);
        EXPECT_TRUE(heard[i].contains("rollouts"));
        EXPECT_FALSE(heard[i].contains("opened"));
        if (i > 0) {
            EXPECT_GT(heard[i]["serial"], heard[i - 1]["serial"]);
        }
    }
    const std::string file = (dir_ / "tabs.nscene").generic_string();
    ASSERT_EQ(post("/api/scene/save", R"({"file":")" + file + R"("})").status, 200);
    ASSERT_EQ(heard.size(), 4u);
    EXPECT_EQ(heard.back()["revision"], start + 3);
    EXPECT_FALSE(heard.back()["unsaved"]);
    EXPECT_GT(heard.back()["serial"], heard[2]["serial"]);
    state_->onChange(nullptr);
}

// An edit belongs to the document it began in: after a New, Open, Reload,
// Undo or Redo (in any tab) it is stale, and so is the rest of a drag.
TEST_F(StudioApiTest, AnEditBegunBeforeANewOpenReloadUndoOrRedoIsRefused) {
    const std::filesystem::path scene = dir_ / "begun.nscene";
    session_->saveScene(scene);
    reopen(scene.string());
    const auto post = [&](const char* path, const std::string& body = "{}") {
        return api_->handle(request("POST", path, body));
    };
    const auto document = [&] { return std::to_string(stateNow()["document"].get<std::uint64_t>()); };
    const std::string open = R"({"file":")" + scene.generic_string() + R"("})";
    struct Case {
        const char* path;
        std::string body;
        const char* why;
    };
    const std::vector<Case> cases = {
        {"/api/scene/open", open, "another scene was opened"},
        {"/api/scene/reload", "{}", "read again"},
        {"/api/undo", "{}", "undone"},
        {"/api/redo", "{}", "redone"},
        {"/api/scene/new", "{}", "new scene"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(post("/api/panel", R"({"id":1502,"action":"type","text":"7"})").status, 200);
        if (std::string(c.path) == "/api/redo") {
            ASSERT_EQ(post("/api/undo").status, 200);
        }
        const std::string began = document();
        ASSERT_EQ(post(c.path, c.body).status, 200) << c.path;
        const ApiResponse stale = post(
            "/api/panel", R"({"id":1490,"action":"type","text":"350","document":)" + began + "}");
        EXPECT_EQ(stale.status, 409) << c.path;
        EXPECT_NE(stale.body.find(c.why), std::string::npos) << stale.body;
        EXPECT_EQ(post("/api/panel", R"({"id":1490,"action":"type","text":"350","document":)" +
                                         document() + "}")
                      .status,
                  200)
            << c.path;
    }
    // A drag goes on no further than an undo of another tab's.
    const std::string drag = R"({"id":1496,"action":"spin","steps":2,"gesture":99})";
    ASSERT_EQ(post("/api/panel", drag).status, 200);
    ASSERT_EQ(post("/api/undo").status, 200);
    const nlohmann::json undone = stateNow();
    EXPECT_EQ(post("/api/panel", drag).status, 409);
    EXPECT_EQ(stateNow()["rollouts"], undone["rollouts"]);
}

// A value typed again is no step; a number past a double is clamped to the
// range as one past the range is.
TEST_F(StudioApiTest, AValueTypedAgainIsNoStepAndNumbersPastADoubleAreClampedToo) {
    const auto type = [&](int id, const std::string& text) {
        const nlohmann::json body = {{"id", id}, {"action", "type"}, {"text", text}};
        return api_->handle(request("POST", "/api/panel", body.dump()));
    };
    ASSERT_EQ(type(1502, "45").status, 200);
    const nlohmann::json typed = stateNow();
    ASSERT_EQ(type(1502, "45.0").status, 200);
    const nlohmann::json again = stateNow();
    EXPECT_EQ(again["undoSteps"], typed["undoSteps"]);
    EXPECT_EQ(again["revision"], typed["revision"]);

    const nlohmann::json hue = control(typed, 1502, "edit");
    const double low = hue["range"][0], high = hue["range"][1];
    for (const auto& [text, expected] : {std::pair<std::string, double>{"1e38", high},
                                         {"1e400", high},
                                         {"-1e400", low},
                                         {" +1e999 ", high}}) {
        const ApiResponse answer = type(1502, text);
        EXPECT_EQ(answer.status, 200) << text << " " << answer.body;
        EXPECT_EQ(control(stateNow(), 1502, "edit")["value"].get<double>(), expected) << text;
    }
    ASSERT_EQ(type(1502, "1e-400").status, 200);
    EXPECT_EQ(control(stateNow(), 1502, "edit")["value"].get<double>(), std::clamp(0.0, low, high));
}

// Save As with a bare name writes beside the open scene, wherever the
// studio was started.
TEST_F(StudioApiTest, ABareNameIsSavedBesideTheOpenScene) {
    std::filesystem::create_directories(dir_ / "scenes");
    const std::filesystem::path scene = dir_ / "scenes" / "open.nscene";
    session_->saveScene(scene);
    reopen(scene.string());
    const ApiResponse saved =
        api_->handle(request("POST", "/api/scene/save", R"({"file":"beside.nscene"})"));
    ASSERT_EQ(saved.status, 200) << saved.body;
    EXPECT_TRUE(std::filesystem::exists(dir_ / "scenes" / "beside.nscene"));
    EXPECT_FALSE(std::filesystem::exists("beside.nscene"));
}

TEST_F(StudioApiTest, APictureAskedForWhileASaveChangesNothingIsDrawnNotRefused) {
    // A large swatch takes long enough that saves come while it renders.
    options_.swatchSize = 384;
    reopen("");
    const std::string file = (dir_ / "busy.nscene").generic_string();
    ASSERT_EQ(api_->handle(request("POST", "/api/scene/save", R"({"file":")" + file + R"("})")).status,
              200);
    const std::uint64_t revision = stateNow()["revision"];
    std::atomic<bool> drawn{false};
    int status = 0;
    std::thread picture([&] {
        ApiRequest swatch = request("GET", "/api/swatch.rgba");
        swatch.query["revision"] = std::to_string(revision);
        status = api_->handle(swatch).status;
        drawn = true;
    });
    int saves = 0;
    while (!drawn) {
        EXPECT_EQ(api_->handle(request("POST", "/api/scene/save", "{}")).status, 200);
        ++saves;
    }
    picture.join();
    EXPECT_EQ(status, 200) << saves << " saves meanwhile";
    EXPECT_EQ(stateNow()["revision"], revision);
}

TEST_F(StudioApiTest, SaveAsReplacesOnlySceneFilesAndThoseOnlyWhenAsked) {
    namespace fs = std::filesystem;
    const auto scene = [](const fs::path& p) { session_->saveScene(p); };
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> prepare;
        bool replace;
        int status;
        const char* conflict;
    };
    const std::vector<Case> cases = {
        // A stand-in for the running program, named as a scene: told by its content.
        {"nacrelle.nscene", [](const fs::path& p) { std::ofstream(p) << "\177ELF"; }, true, 409, ""},
#ifndef _WIN32
        {"pipe.nscene", [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); }, true, 409, ""},
#endif
        {"new.png", [](const fs::path&) {}, false, 400, ""},
        {"old.nscene", scene, false, 409, "exists"},
        {"old.nscene", scene, true, 200, ""},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const fs::path target = dir_ / c.name;
        fs::remove(target);
        c.prepare(target);
        const fs::file_type type = fs::status(target).type();
        const std::string before = type == fs::file_type::regular ? bytesOf(target) : "";
        // A value of its own, so that a saved file differs from any before.
        const nlohmann::json edit = {
            {"id", 1490}, {"action", "type"}, {"text", std::to_string(900 + i)}};
        ASSERT_EQ(api_->handle(request("POST", "/api/panel", edit.dump())).status, 200);
        const nlohmann::json save = {{"file", target.string()}, {"replace", c.replace}};
        const ApiResponse answer = api_->handle(request("POST", "/api/scene/save", save.dump()));
        EXPECT_EQ(answer.status, c.status) << c.name << " " << answer.body;
        EXPECT_EQ(nlohmann::json::parse(answer.body).value("conflict", ""), c.conflict) << c.name;
        EXPECT_EQ(fs::status(target).type(), type) << c.name;
        if (type == fs::file_type::regular) {
            EXPECT_EQ(bytesOf(target) == before, c.status != 200) << c.name;
        }
    }
}

// Another program's change to the open file, however the save names it,
// stops the save; a file deleted, or replaced by the same bytes, is told
// apart from one changed.
TEST_F(StudioApiTest, EverySpellingOfTheOpenFileGetsTheChecksOfSave) {
    namespace fs = std::filesystem;
    const fs::path scene = dir_ / "film.nscene";
    const auto replaceBy = [&](std::string bytes) {
        std::ofstream(dir_ / "other", std::ios::binary) << bytes;
        fs::rename(dir_ / "other", scene);
    };
    const auto save = [&](const std::string& file, bool anyway = false) {
        const nlohmann::json body = {{"file", file}, {"replace", true}, {"anyway", anyway}};
        return api_->handle(request("POST", "/api/scene/save", body.dump()));
    };
    const auto conflict = [](const ApiResponse& answer) {
        return nlohmann::json::parse(answer.body).value("conflict", "");
    };
    std::vector<std::string> spellings = {(dir_ / "." / "film.nscene").string(),
                                          (dir_ / "sub" / ".." / "film.nscene").string()};
    fs::create_directory(dir_ / "sub");
    std::error_code noLinks;
    fs::create_directory_symlink(dir_, dir_ / "linked", noLinks);
    if (!noLinks) spellings.push_back((dir_ / "linked" / "film.nscene").string());
#ifdef _WIN32
    // Names are case-insensitive, and a trailing dot is dropped.
    spellings.push_back((dir_ / "FILM.nscene").string());
    spellings.push_back((dir_ / "film.nscene.").string());
#endif
    for (const std::string& spelling : spellings) {
        SCOPED_TRACE(spelling);
        fs::remove(scene);
        session_->saveScene(scene);
        reopen(scene.string());
        api_->handle(request("POST", "/api/panel", R"({"id":1490,"action":"type","text":"42"})"));
        // Another program saves a change (its bytes still those of a scene).
        const std::string read = bytesOf(scene);
        replaceBy(read + "!");
        EXPECT_TRUE(stateNow()["changedOnDisk"]);
        EXPECT_EQ(save(spelling).status, 409);
        EXPECT_EQ(conflict(save(spelling)), "changed");
        EXPECT_EQ(bytesOf(scene), read + "!");
        // Put back as it was read: no change, though another file is there now.
        replaceBy(read);
        EXPECT_FALSE(stateNow()["changedOnDisk"]);
        EXPECT_EQ(save(spelling).status, 200);
        EXPECT_EQ(stateNow()["file"], scene.string()) << "the open file keeps its name";
    }

    // Deleted: said so, and saved again only when asked.
    fs::remove(scene);
    const nlohmann::json state = stateNow();
    EXPECT_TRUE(state["deletedOnDisk"]);
    EXPECT_FALSE(state["changedOnDisk"]);
    EXPECT_EQ(conflict(save((dir_ / "." / "film.nscene").string())), "deleted");
    EXPECT_FALSE(fs::exists(scene));
    EXPECT_EQ(save("", true).status, 200);
    EXPECT_TRUE(fs::exists(scene));

    // A new scene has no file: its Save asks for one, and the scene open
    // before keeps what it holds.
    const std::string before = bytesOf(scene);
    EXPECT_EQ(api_->handle(request("POST", "/api/scene/new", "{}")).status, 200);
    EXPECT_EQ(stateNow()["file"], "");
    EXPECT_EQ(save("").status, 400);
    EXPECT_EQ(bytesOf(scene), before);
}

// `scene set` and the studio save one file over and over: every edit of
// each lands (on Windows a save waits while the other side has the file
// open for a moment, as the studio does to see whether it changed).
TEST_F(StudioApiTest, SceneSetAndTheStudioSavingOneFileLoseNoEdit) {
    constexpr int kRuns = 100;
    const std::filesystem::path scene = dir_ / "shared.nscene";
    session_->saveScene(scene);
    reopen(scene.string());
    std::atomic<bool> done{false};
    int studioSaves = 0, studioEdits = 0;
    std::thread studio([&] {
        while (!done) {
            const nlohmann::json edit = {
                {"id", 1490}, {"action", "type"}, {"text", std::to_string(300 + studioEdits % 50)}};
            if (api_->handle(request("POST", "/api/panel", edit.dump())).status == 200) ++studioEdits;
            const ApiResponse saved = api_->handle(request("POST", "/api/scene/save", "{}"));
            if (saved.status == 200) {
                ++studioSaves;
            } else {
                // Changed by `scene set` meanwhile: take its edits and go on.
                api_->handle(request("POST", "/api/scene/reload", "{}"));
            }
        }
    });
    int failures = 0;
    std::string firstFailure;
    for (int i = 0; i < kRuns; ++i) {
        const std::string key = "sat@" + std::to_string(i) + "=" + std::to_string(i % 50);
        const testing::RunResult result = testing::runProgram(
            testing::programPath(), {"scene", "set", scene.string(), "--key", key}, dir_,
            {{"NACRELLE_PLUGIN", testing::modulePath().string()}});
        if (result.exitCode != 0 && failures++ == 0) firstFailure = testing::describe(result);
    }
    done = true;
    studio.join();
    std::printf("%d scene set runs, %d failed; the studio saved %d times\n", kRuns, failures,
                studioSaves);
    EXPECT_EQ(failures, 0) << firstFailure;
    EXPECT_GT(studioSaves, 0);
    const testing::RunResult shown = testing::runProgram(
        testing::programPath(), {"scene", "show", scene.string(), "--json"}, dir_,
        {{"NACRELLE_PLUGIN", testing::modulePath().string()}});
    ASSERT_EQ(shown.exitCode, 0) << testing::describe(shown);
    const nlohmann::json sat = nlohmann::json::parse(shown.out)["map"]["parameters"]["sat"];
    EXPECT_EQ(sat.value("keys", nlohmann::json::array()).size(), std::size_t{kRuns})
        << "edits of `scene set` were lost";
}

// The quick sequence, with no pause between its steps: a preset, `scene set`
// on the open file, a save (refused: changed on disk), the preset again, the
// same `scene set`, a save again. The second save is refused too, each time,
// and the file keeps the edit of `scene set`.
TEST_F(StudioApiTest, AQuickSequenceOfPresetsSceneSetsAndSavesLosesNoEdit) {
    constexpr int kRuns = 100;
    const std::filesystem::path scene = dir_ / "quick.nscene";
    session_->saveScene(scene);
    reopen(scene.string());
    const auto post = [&](const char* path, const std::string& body) {
        return api_->handle(request("POST", path, body)).status;
    };
    const auto sceneSet = [&](int value) {
        return testing::runProgram(testing::programPath(),
                                   {"scene", "set", scene.string(), "--set", "sat=" + std::to_string(value)},
                                   dir_, {{"NACRELLE_PLUGIN", testing::modulePath().string()}});
    };
    int lost = 0;
    for (int run = 0; run < kRuns; ++run) {
        const int sat = run % 50 + 1;
        ASSERT_EQ(post("/api/scene/reload", "{}"), 200);
        for (int round = 0; round < 2; ++round) {
            ASSERT_EQ(post("/api/preset", R"({"name":"soap-bubble"})"), 200);
            const testing::RunResult set = sceneSet(sat);
            ASSERT_EQ(set.exitCode, 0) << testing::describe(set);
            if (post("/api/scene/save", "{}") != 409) ++lost;
        }
        const testing::RunResult shown = testing::runProgram(
            testing::programPath(), {"scene", "show", scene.string(), "--json"}, dir_,
            {{"NACRELLE_PLUGIN", testing::modulePath().string()}});
        ASSERT_EQ(shown.exitCode, 0) << testing::describe(shown);
        if (nlohmann::json::parse(shown.out)["map"]["parameters"]["sat"]["value"] != sat) ++lost;
    }
    EXPECT_EQ(lost, 0);
}

// Any name the file system takes is saved, though the temporary file's name
// is longer; a longer one is refused as too long.
TEST_F(StudioApiTest, NamesUpToTheFileSystemsLimitAreSavedAndLongerOnesRefused) {
    const std::string stem(255 - std::string(".nscene").size(), 'n');
    for (const auto& [name, status] : {std::pair{stem + ".nscene", 200},
                                       std::pair{stem.substr(15) + ".nscene", 200},
                                       std::pair{stem + "n.nscene", 400}}) {
        SCOPED_TRACE(name.size());
        const nlohmann::json save = {{"file", (dir_ / name).string()}};
        const ApiResponse answer = api_->handle(request("POST", "/api/scene/save", save.dump()));
        EXPECT_EQ(answer.status, status) << answer.body;
        EXPECT_EQ(answer.body.find("not a scene file"), std::string::npos) << answer.body;
        if (status != 200) {
            EXPECT_NE(answer.body.find("too long"), std::string::npos) << answer.body;
        }
        std::error_code tooLong;
        EXPECT_EQ(std::filesystem::exists(dir_ / name, tooLong), status == 200);
    }
    // Nothing left beside them.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2);
}

#ifndef _WIN32
TEST_F(StudioApiTest, ASceneNamedInBytesThatAreNotUtf8IsSavedUnderItsName) {
    const std::filesystem::path scene = dir_ / "caf\xe9.nscene";
    session_->saveScene(scene);
    reopen(scene.string());
    const std::string shown = stateNow()["file"];
    EXPECT_NE(shown.find("caf\uFFFD.nscene"), std::string::npos) << shown;
    api_->handle(request("POST", "/api/panel", R"({"id":1490,"action":"type","text":"902"})"));
    // The page sends back no name, or the name it shows: both mean the open file.
    for (const std::string& file : {std::string(), shown}) {
        const nlohmann::json save = {{"file", file}};
        EXPECT_EQ(api_->handle(request("POST", "/api/scene/save", save.dump())).status, 200);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
    reopen(scene.string());
    EXPECT_EQ(control(stateNow(), 1490, "edit")["value"], 902.0);
}
#endif

}  // namespace
}  // namespace nacrelle::tools::studio
