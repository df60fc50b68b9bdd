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

#include <platform/file_read.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/document/undo_history.h"

namespace nacrelle::tools {
class HostSession;
class Image;
}
namespace standin {
class HeadlessPanel;
class ScopedShellHandler;
}  // namespace standin
class Texmap;

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

/// The map on its sphere and on the chart, and as the viewport shows it.
/// DraftSwatch: the swatch at half its size, which a drag shows while it
/// moves (a quarter of the work).
enum class Picture { Swatch, DraftSwatch, Viewport, Chart };
/// A PNG file, or its pixels bare (8-bit RGBA rows, top to bottom), which
/// the page draws without decoding.
enum class PictureFormat { Png, Pixels };

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

    /// Runs `change` (one of the changes below) when the scene is still at
    /// `revision` (none: whatever it is), else refuses with 409, conflict
    /// "stale": the change was meant for a scene that another tab has changed.
    /// `keepsPictures`: the change leaves the pictures as they are (a save),
    /// so a render in progress is waited for rather than stopped.
    nlohmann::json atRevision(std::optional<std::uint64_t> revision,
                              const std::function<nlohmann::json()>& change,
                              bool keepsPictures = false);

    // Changes. Each returns describe() after the change, plus "opened": the
    // addresses that ShellExecuteW was asked to open. A refused change
    // throws one of the errors of common/errors.h and leaves everything as
    // it was. Each edit is one
    // step of the history, except that the successive edits of one
    // `gesture` (a drag: any number but 0) make one step together.

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
                                                    PictureFormat format = PictureFormat::Png);

private:
    class ChangeScope;
    struct CachedPicture {
        std::uint64_t revision = 0;
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> pixels;
    };
    /// The scene as it was before a step, and which version of it that was.
    using Snapshot = HistoryState;

    /// Renders `picture` of the map now, stopping early when `stop` says so.
    Image renderPicture(Picture picture, const std::function<bool()>& stop);
    void closePanels();
    void openPanels();
    std::vector<standin::HeadlessPanel*> panels() const;
    std::filesystem::path checkedPath(const std::string& file, const char* what) const;
    nlohmann::json describeLocked() const;
    nlohmann::json changed();
    /// Runs `edit` (which throws to refuse) as a step of the history.
    template <class Edit>
    nlohmann::json recordEdit(std::uint64_t gesture, Edit&& edit);
    Snapshot snapshot();
    void restore(const Snapshot& state);
    /// Undoes (`back`) or redoes the next step.
    nlohmann::json stepThroughHistory(bool back);
    /// A state that no step leads back to: a new scene, one opened or read again.
    void startHistory();
    bool unsaved() const { return version_ != savedVersion_; }
    void reopenPanels();
    /// Every parameter of the map and its output filter at its default, no thickness map.
    void resetMap();
    standin::HeadlessPanel& panelAt(int panel) const;

    StudioOptions options_;
    // Recursive: atRevision() holds it around the change it runs.
    std::recursive_mutex mutex_;
    // Changes waiting for the lock; a render stops while there are any.
    std::atomic<int> waitingChanges_{0};
    HostSession* session_;
    std::unique_ptr<standin::ScopedShellHandler> shell_;
    Texmap* map_ = nullptr;
    standin::HeadlessPanel* panel_ = nullptr;
    standin::HeadlessPanel* thicknessPanel_ = nullptr;
    /// What a file held when the studio read or wrote it, to tell whether
    /// another program has changed it since.
    struct FileState {
        enum class Kind { Absent, Regular, Other } kind = Kind::Absent;
        standin::FileIdentity identity;
        std::vector<std::uint8_t> bytes;
        std::string problem;  ///< for Other: why it cannot be read
    };
    static FileState fileState(const std::filesystem::path& path);
    /// What became of the open file on disk since the studio read or saved it.
    enum class DiskChange { None, Changed, Deleted };
    DiskChange diskChange() const;
    /// True when `target` leads to the open file, however it is spelled.
    bool isOpenFile(const std::filesystem::path& target) const;
    void load(const std::filesystem::path& path);

    std::filesystem::path file_;  ///< the open scene's file; empty: none yet
    FileState read_;              ///< what file_ held when read or saved
    UndoHistory history_;
    std::uint64_t lastGesture_ = 0;  ///< the gesture of the last step, 0: none
    std::uint64_t versions_ = 0;     ///< versions handed out so far
    std::uint64_t version_ = 0;      ///< the version shown now
    std::uint64_t savedVersion_ = 0; ///< the version in the file; 0: none
    std::uint64_t revision_ = 1;
    std::uint64_t serial_ = 0;  ///< changes made so far
    std::function<void(const std::string&)> listener_;
    std::vector<std::string> opened_;
    std::map<Picture, CachedPicture> pictures_;
    std::vector<std::uint8_t> icon_;
};

}  // namespace nacrelle::tools::studio
