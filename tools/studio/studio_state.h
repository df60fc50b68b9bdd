// What `nacrelle studio` edits: one document of the application layer (the
// scene, its file, its map's panels and its history), shared by every tab,
// and the pictures rendered from it. This is the studio's mapping of requests
// onto the document, and of the document back to JSON.
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
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/render/pictures.h"

namespace nacrelle::tools {
class Document;
class HostSession;
}  // namespace nacrelle::tools
namespace standin {
class ScopedShellHandler;
}  // namespace standin

namespace nacrelle::tools::studio {

struct StudioOptions {
    /// Opened at start when it exists; otherwise where Save writes. UTF-8, or
    /// on POSIX systems any bytes, as the command line gives it.
    std::string sceneFile;
    /// When set, files are read and written only below this folder, and
    /// relative names are taken from it.
    std::filesystem::path fileRoot;
    int swatchSize = 256;
    int viewportSize = 128;  ///< the side of the viewport's texture
    int chartWidth = 440;
    int chartHeight = 300;
    int threads = 0;  ///< render threads, 0: one per core
};

/// A PNG file, or its pixels bare (8-bit RGBA rows, top to bottom), which
/// the page draws without decoding.
enum class PictureFormat { Png, Pixels };

/// The size a page shows a picture at, in the screen's own pixels, so that
/// it is drawn sharp; 0: the studio's own size. The swatch and the viewport
/// are square (`width`); the draft swatch is half the swatch's size.
struct PictureSize {
    int width = 0;
    int height = 0;
    int scale = 1;  ///< the screen's pixels to the page's: the chart's text grows by it
};

class StudioState {
public:
    /// Edits a map in `session`'s scene (which it replaces as files are
    /// opened): the one of the scene file when it exists (a Failure when it
    /// cannot be read), else a new one.
    StudioState(HostSession& session, const StudioOptions& options);
    ~StudioState();
    StudioState(const StudioState&) = delete;
    StudioState& operator=(const StudioState&) = delete;

    /// Everything the page shows: revision (of what the pictures show),
    /// document (changes with every New, Open, Reload, Undo and Redo: an edit
    /// begun in another is stale),
    /// serial (of the changes: a save that changes nothing on screen
    /// counts too), file (readably: bytes that are
    /// not UTF-8 show as U+FFFD), unsaved flag, whether the file changed on
    /// disk since it was read or deleted meanwhile, the steps that can be undone and redone, the
    /// panels with their controls, the thickness map.
    nlohmann::json describe();

    /// The presets, as `nacrelle presets --json` lists them.
    static nlohmann::json presets();

    /// The page's icon: the default swatch, small, as a PNG file.
    const std::vector<std::uint8_t>& icon() const { return icon_; }

    /// Called with describe() after every change, as JSON text, in the order
    /// of the changes (under the studio's lock: it must not block). Every
    /// tab hears of every change through it.
    void onChange(std::function<void(const std::string&)> listener);

    /// What a change expects of the scene; none: whatever it is.
    struct Expected {
        /// The revision its tab shows.
        std::optional<std::uint64_t> revision;
        /// The document ("document" of describe()) its edit began in: a
        /// value typed from its first key, a drag from its press.
        std::optional<std::uint64_t> document;
    };

    /// Runs `change` (one of the changes below) when the scene is still as
    /// `expected`, else refuses with a Conflict of kind "stale": the change
    /// was meant for a scene that another tab has changed, or its edit began
    /// before a New, Open, Reload, Undo or Redo (the Conflict says which).
    /// `keepsPictures`: the change leaves the pictures as they are (a save),
    /// so a render in progress is waited for rather than stopped.
    nlohmann::json atRevision(const Expected& expected,
                              const std::function<nlohmann::json()>& change,
                              bool keepsPictures = false);

    // Changes. Each returns describe() after the change, plus "opened": the
    // addresses that ShellExecuteW was asked to open. A refused change
    // throws one of the errors of common/errors.h and leaves everything as
    // it was. Each edit is one step of the history, except that the
    // successive edits of one `gesture` (a drag: any number but 0) make one
    // step together.

    /// Input on control `id` of panel `panel` (0: the map's panel, then the
    /// panels added to it, then the thickness map's): "type" (text), "spin"
    /// (steps), "click", "select" (item, counted from 0) or "press".
    nlohmann::json panelInput(int panel, int id, const std::string& action,
                              const std::string& text, int steps, std::uint64_t gesture = 0,
                              int item = 0);
    /// kind "none", "gradient", "noise" or "bitmap" (with `file`, a PNG).
    nlohmann::json setThicknessMap(const std::string& kind, const std::string& file);
    /// The map at its defaults, then the preset's values and thickness map.
    nlohmann::json applyPreset(const std::string& name);
    /// The parameter behind control `id` of panel `panel` back to its default.
    nlohmann::json resetParameter(int panel, int id);
    /// Every parameter of the map and its output filter back to its default,
    /// and no thickness map.
    nlohmann::json resetAll();
    /// Back to before the last step, and forward again. Undoing to the state
    /// last saved leaves the scene saved; any other state is unsaved.
    nlohmann::json undo();
    nlohmann::json redo();
    nlohmann::json newScene();
    nlohmann::json openScene(const std::string& file);
    /// Reads the open file again, dropping the changes made since.
    nlohmann::json reloadScene();
    /// Saves the open scene to its file when `file` is empty, else to `file`
    /// (Save As; any name of the open file saves the open file). Only a scene
    /// file is ever replaced: the open one, when it changed on disk or was
    /// deleted since it was read, only when `anyway`; another scene only when
    /// `replace`. A new file's name ends in .nscene.
    nlohmann::json saveScene(const std::string& file, bool replace, bool anyway);

    /// The picture as of `revision`; nothing when a newer change has
    /// superseded that revision (before or during the render).
    std::optional<std::vector<std::uint8_t>> render(Picture picture, std::uint64_t revision,
                                                    PictureFormat format = PictureFormat::Png,
                                                    PictureSize size = {});

private:
    class ChangeScope;
    struct CachedPicture {
        std::uint64_t revision = 0;
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> pixels;
    };

    nlohmann::json describeLocked() const;
    /// Tells every tab of a change, and answers the one that made it.
    nlohmann::json changed();
    /// A change that the pictures show: a new revision.
    nlohmann::json changedPictures();
    /// A change that makes the edits begun before it stale; `what` says
    /// what it was, for their refusal ("another scene was opened").
    nlohmann::json changedDocument(const char* what);

    PictureSizes sizes_;
    // Recursive: atRevision() holds it around the change it runs.
    std::recursive_mutex mutex_;
    // Changes waiting for the lock; a render stops while there are any.
    std::atomic<int> waitingChanges_{0};
    std::unique_ptr<standin::ScopedShellHandler> shell_;
    std::vector<std::uint8_t> icon_;
    std::unique_ptr<Document> document_;
    std::uint64_t revision_ = 1;
    std::uint64_t serial_ = 0;  ///< changes made so far
    std::uint64_t documentEdition_ = 1;
    const char* documentChange_ = "";  ///< what made documentEdition_
    /// The last drag, and the document it began in: it never goes on in
    /// another.
    std::uint64_t lastGesture_ = 0;
    std::uint64_t lastGestureEdition_ = 0;
    std::function<void(const std::string&)> listener_;
    std::vector<std::string> opened_;
    // By picture and size: tabs may show one at different sizes.
    std::map<std::tuple<Picture, int, int, int>, CachedPicture> pictures_;
};

}  // namespace nacrelle::tools::studio
