// The scene being edited: the scene with its map and the map's panels, the
// file it was read from or saved to and what that file held then (to tell
// another program's change from ours), the scene lock around reading and
// saving, and the undo history. Every edit goes through the map's panels or
// its parameter blocks, as a user's or a script's would.
#pragma once

#include <platform/file_read.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "app/document/undo_history.h"
#include "app/session/map_panels.h"

class Texmap;

namespace nacrelle::tools {

class HostSession;

/// What became of the open file on disk since it was read or saved.
enum class DiskChange { None, Changed, Deleted };

class Document {
public:
    /// A document in `session`'s scene (which it replaces as files are
    /// opened): `sceneFile`'s when the file exists (a Failure when it cannot
    /// be read), else a new scene that Save writes there. With a `fileRoot`,
    /// files are read and written only below it, and relative names are
    /// taken from it.
    Document(HostSession& session, const std::string& sceneFile, std::filesystem::path fileRoot);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    Texmap& map() const { return *map_; }
    /// The open file; empty for a scene never saved.
    const std::filesystem::path& file() const { return file_; }
    /// What the page shows: the file (readably: bytes that are not UTF-8
    /// show as U+FFFD), whether it is yet to be written (newFile), the
    /// unsaved flag, whether the file changed on disk
    /// or was deleted, the steps to undo and redo, the panels' rollouts,
    /// the thickness map and the kinds of thickness map on offer.
    nlohmann::json describe() const;

    // Edits. Each is one step of the history, but the successive edits of
    // one `gesture` (a drag: any number but 0) make one step together. A
    // refused edit throws one of common/errors.h and leaves the scene as it
    // was.
    /// False when the input left the scene as it was (a value typed again):
    /// then it is no step of the history.
    bool panelInput(int panel, int id, const PanelInput& input, std::uint64_t gesture);
    void resetParameter(int panel, int id);
    /// Every parameter of the map and its output filter to its default, no
    /// thickness map.
    void resetAll();
    /// The map at its defaults, then the preset's values and thickness map.
    void applyPreset(const std::string& name);
    /// kind "none", "gradient", "noise" or "bitmap" (with `file`, a PNG).
    void setThicknessMap(const std::string& kind, const std::string& file);

    /// Back to before the last step, and forward again (Conflict: none).
    /// Undoing to the state last saved leaves the document saved.
    void undo();
    void redo();

    void newScene();
    void open(const std::string& file);
    /// Reads the open file again, dropping the changes made since.
    void reload();
    /// Saves to the open file when `file` is empty, else to `file` (Save As;
    /// any name of the open file saves the open file). Only a scene file is
    /// ever replaced: the open one, when it changed on disk or was deleted
    /// since it was read, only when `anyway`; another scene only when
    /// `replace`. A new file's name ends in .nscene.
    void save(const std::string& file, bool replace, bool anyway);

private:
    /// What a file held when it was read or written.
    struct FileState {
        enum class Kind { Absent, Regular, Other } kind = Kind::Absent;
        standin::FileIdentity identity;
        std::vector<std::uint8_t> bytes;
        std::string problem;  ///< for Other: why it cannot be read
    };
    static FileState fileState(const std::filesystem::path& path);
    DiskChange diskChange() const;
    /// True when `target` leads to the open file, however it is spelled.
    bool isOpenFile(const std::filesystem::path& target) const;
    std::filesystem::path checkedPath(const std::string& file, const char* what) const;
    void load(const std::filesystem::path& path);

    /// Runs `edit` (which throws to refuse) as a step of the history; false
    /// when it changed nothing, which makes no step.
    bool recordEdit(std::uint64_t gesture, const std::function<void()>& edit);
    HistoryState snapshot();
    void restore(const HistoryState& state);
    void stepThroughHistory(bool back);
    /// A state that no step leads back to: a new scene, one opened or read again.
    void startHistory();
    bool unsaved() const { return version_ != savedVersion_; }
    void resetMap();

    HostSession* session_;
    std::filesystem::path fileRoot_;
    Texmap* map_ = nullptr;
    MapPanels panels_;
    std::filesystem::path file_;  ///< the open scene's file; empty: none yet
    FileState read_;              ///< what file_ held when read or saved
    UndoHistory history_;
    std::uint64_t lastGesture_ = 0;  ///< the gesture of the last step, 0: none
    std::uint64_t versions_ = 0;     ///< versions handed out so far
    std::uint64_t version_ = 0;      ///< the version shown now
    std::uint64_t savedVersion_ = 0; ///< the version in the file; 0: none
};

}  // namespace nacrelle::tools
