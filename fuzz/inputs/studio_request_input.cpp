// Requests to the studio, as a browser or anything else might send them:
// every answer is a 200 or 4xx with JSON that says what is wrong (or a 204
// for a superseded picture), pictures are PNG files, and the panel never
// shows a value outside its range.
#include <cctype>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

#include "fuzz/inputs/input_checks.h"
#include "fuzz/inputs/module_session.h"
#include "studio/studio_api.h"

namespace nacrelle::fuzzing {
namespace {

constexpr int kPort = 8765;
constexpr const char* kToken = "fuzz";
constexpr std::string_view kSeparator = "\n====\n";

/// Removed with everything in it when the process ends.
struct ScratchFolder {
    std::filesystem::path path;
    ~ScratchFolder() {
        std::error_code error;
        if (!path.empty()) std::filesystem::remove_all(path, error);
    }
};

struct Studio {
    std::filesystem::path root;
    std::unique_ptr<tools::studio::StudioState> state;
    std::unique_ptr<tools::studio::StudioApi> api;
};

/// One studio for the process; its files stay in a folder of its own.
Studio& TheStudio() {
    static Studio studio = [] {
        Studio s;
        static ScratchFolder scratch;
        std::random_device entropy;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100 && scratch.path.empty(); ++attempt) {
            const auto folder = base / ("nacrelle-studio-fuzz-" + std::to_string(entropy()));
            if (std::filesystem::create_directory(folder)) scratch.path = folder;
        }
        if (scratch.path.empty()) throw std::runtime_error("no scratch folder");
        s.root = scratch.path;
        tools::studio::StudioOptions options;
        options.fileRoot = s.root;
        options.swatchSize = 24;
        options.chartWidth = 120;
        options.chartHeight = 120;
        options.threads = 1;
        s.state = std::make_unique<tools::studio::StudioState>(ModuleSession(), options);
        s.api = std::make_unique<tools::studio::StudioApi>(*s.state, kToken, kPort);
        return s;
    }();
    return studio;
}

/// "METHOD TARGET", header lines "name: value", a blank line, the body.
/// The token and the Host header are added unless the request gives them.
tools::studio::ApiRequest ReadRequest(std::string_view text) {
    tools::studio::ApiRequest request;
    const std::size_t lineEnd = text.find('\n');
    const std::string_view first = text.substr(0, lineEnd);
    text = lineEnd == std::string_view::npos ? std::string_view() : text.substr(lineEnd + 1);
    const std::size_t space = first.find(' ');
    request.method = std::string(first.substr(0, space));
    const std::string_view target =
        space == std::string_view::npos ? std::string_view("/") : first.substr(space + 1);
    const std::size_t question = target.find('?');
    request.path = std::string(target.substr(0, question));
    std::string_view query =
        question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const std::size_t equals = pair.find('=');
        request.query.emplace(std::string(pair.substr(0, equals)),
                              equals == std::string_view::npos ? std::string()
                                                               : std::string(pair.substr(equals + 1)));
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    }
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty()) break;
        const std::size_t colon = line.find(": ");
        if (colon == std::string_view::npos) continue;
        std::string name(line.substr(0, colon));
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        request.headers.emplace(name, std::string(line.substr(colon + 2)));
    }
    request.body = std::string(text);
    request.query.emplace("token", kToken);
    request.headers.emplace("host", "127.0.0.1:" + std::to_string(kPort));
    return request;
}

Finding CheckState(const nlohmann::json& state) {
    for (const auto& rollout : state["rollouts"]) {
        for (const auto& c : rollout["controls"]) {
            if (!c.contains("range") || !c.contains("value") || !c["value"].is_number()) continue;
            const double value = c["value"];
            if (value < c["range"][0].get<double>() || value > c["range"][1].get<double>()) {
                return "control " + c["id"].dump() + " shows " + c["value"].dump() +
                       " outside " + c["range"].dump();
            }
        }
    }
    return {};
}

Finding CheckAnswer(const tools::studio::ApiRequest& request,
                    const tools::studio::ApiResponse& answer) {
    const std::string what = request.method + " " + request.path + ": ";
    // 204: a picture superseded by a newer change, without a body.
    if (answer.status == 204) return answer.body.empty() ? Finding() : what + "a 204 with a body";
    if (answer.status != 200 && (answer.status < 400 || answer.status > 499)) {
        return what + "status " + std::to_string(answer.status) + ": " + answer.body;
    }
    if (answer.contentType == "image/png") {
        if (answer.body.rfind("\x89PNG", 0) != 0) return what + "a picture that is no PNG";
        return {};
    }
    if (answer.contentType != "application/json") return {};
    const nlohmann::json body = nlohmann::json::parse(answer.body, nullptr, false);
    if (body.is_discarded()) return what + "an answer that is not JSON";
    if (answer.status != 200) {
        if (!body.contains("error") || !body["error"].is_string() ||
            body["error"].get<std::string>().empty()) {
            return what + "a refusal without a message";
        }
        return {};
    }
    return body.contains("rollouts") ? CheckState(body) : Finding();
}

}  // namespace

Finding CheckStudioRequests(std::span<const std::uint8_t> bytes) {
    Studio& studio = TheStudio();
    studio.state->newScene();
    std::string_view input(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    while (true) {
        const std::size_t end = input.find(kSeparator);
        const tools::studio::ApiRequest request = ReadRequest(input.substr(0, end));
        if (Finding bad = CheckAnswer(request, studio.api->handle(request)); !bad.empty()) {
            return bad;
        }
        if (end == std::string_view::npos) break;
        input = input.substr(end + kSeparator.size());
    }
    return {};
}

}  // namespace nacrelle::fuzzing
