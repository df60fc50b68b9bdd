// What `nacrelle studio` edits: one map of the loaded module with its open
// editor panel (the headless panel machinery, as `nacrelle panel` drives it),
// the scene file it belongs to, and the pictures rendered from it.
//
// The module relies on its host to call it one call at a time and never
// during evaluation, so every operation here takes one lock. A render holds
// it too, but gives way: a change that arrives while a picture renders stops
// that render (its picture would be stale), and a picture asked for at an
// older revision is refused without rendering.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace nacrelle::tools {
class HostSession;
}
namespace standin {
class HeadlessPanel;
class ScopedShellHandler;
}  // namespace standin
class Texmap;

namespace nacrelle::tools::studio {

/// A request the studio refuses: `status` is the HTTP status that says why
/// (400 for a bad value, 404 for an unknown thing), what() the message.
class ApiError : public std::runtime_error {
public:
    ApiError(int status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

struct StudioOptions {
    /// Opened at start when it exists; otherwise where Save writes.
    std::string sceneFile;
    /// When set, files are read and written only below this folder, and
    /// relative names are taken from it.
    std::filesystem::path fileRoot;
    int swatchSize = 256;
    int chartWidth = 440;
    int chartHeight = 300;
    int threads = 0;  ///< render threads, 0: one per core
};

enum class Picture { Swatch, Chart };

class StudioState {
public:
    /// Edits a map in `session`'s scene (which it replaces as files are
    /// opened): the one of the scene file when it exists (a Failure when it
    /// cannot be read), else a new one.
    StudioState(HostSession& session, const StudioOptions& options);
    ~StudioState();
    StudioState(const StudioState&) = delete;
    StudioState& operator=(const StudioState&) = delete;

    /// Everything the page shows: revision, file, unsaved flag, the panels
    /// with their controls, the thickness map.
    nlohmann::json describe();

    // Changes. Each returns describe() after the change, plus "opened": the
    // addresses that ShellExecuteW was asked to open. A refused change
    // throws ApiError and leaves everything as it was.

    /// Input on control `id` of panel `panel` (0: the map's panel, then the
    /// panels added to it, then the thickness map's): "type" (text), "spin"
    /// (steps), "click" or "press".
    nlohmann::json panelInput(int panel, int id, const std::string& action,
                              const std::string& text, int steps);
    /// kind "none", "gradient", "noise" or "bitmap" (with `file`, a PNG).
    nlohmann::json setThicknessMap(const std::string& kind, const std::string& file);
    nlohmann::json newScene();
    nlohmann::json openScene(const std::string& file);
    /// Saves to `file`, or to the current file when empty.
    nlohmann::json saveScene(const std::string& file);

    /// The PNG bytes of the picture as of `revision`; nothing when a newer
    /// change has superseded that revision (before or during the render).
    std::optional<std::vector<std::uint8_t>> render(Picture picture, std::uint64_t revision);

private:
    class ChangeScope;
    struct CachedPicture {
        std::uint64_t revision = 0;
        std::vector<std::uint8_t> png;
    };

    void closePanels();
    void openPanels();
    std::vector<standin::HeadlessPanel*> panels() const;
    std::filesystem::path checkedPath(const std::string& file, const char* what) const;
    nlohmann::json describeLocked() const;
    nlohmann::json changed();

    StudioOptions options_;
    std::mutex mutex_;
    // Changes waiting for the lock; a render stops while there are any.
    std::atomic<int> waitingChanges_{0};
    HostSession* session_;
    std::unique_ptr<standin::ScopedShellHandler> shell_;
    Texmap* map_ = nullptr;
    standin::HeadlessPanel* panel_ = nullptr;
    standin::HeadlessPanel* thicknessPanel_ = nullptr;
    std::string file_;
    bool unsaved_ = false;
    std::uint64_t revision_ = 1;
    std::vector<std::string> opened_;
    std::map<Picture, CachedPicture> pictures_;
};

}  // namespace nacrelle::tools::studio
