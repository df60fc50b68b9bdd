#include "app/document/document.h"

#include <imtl.h>
#include <iparamb2.h>
#include <maps/grey_maps.h>
#include <modules/module_loader.h>
#include <params/param_access.h>
#include <platform/atomic_file.h>
#include <platform/command_line.h>
#include <platform/utf16.h>
#include <scene/scene.h>
#include <scene/scene_file.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <system_error>

#include "app/document/scene_lock.h"
#include "app/presets/presets.h"
#include "app/session/host_session.h"
#include "app/session/map_settings.h"
#include "app/session/thickness_map_kinds.h"
#include "common/errors.h"

namespace nacrelle::tools {

namespace {

std::string thicknessMapKind(Texmap* map) {
    if (map == nullptr) return "none";
    const ThicknessMapKind* kind = ThicknessMapKindOf(map->ClassID());
    return kind != nullptr ? kind->name : "other";
}

/// The kinds the page's chooser offers, "none" first.
nlohmann::json thicknessMapKinds() {
    nlohmann::json kinds = nlohmann::json::array({{{"name", "none"}, {"label", "None"}, {"file", false}}});
    for (const ThicknessMapKind& kind : ThicknessMapKinds()) {
        kinds.push_back({{"name", kind.name}, {"label", kind.label}, {"file", kind.takesPng}});
    }
    return kinds;
}

/// `path` as UTF-8 for the page: a byte that is no part of UTF-8 shows as U+FFFD.
std::string shownName(const std::filesystem::path& path) {
    return standin::Utf16ToUtf8(standin::Utf8ToUtf16(standin::PathToUtf8(path)));
}

std::string quoted(const std::filesystem::path& path) { return "\"" + shownName(path) + "\""; }

/// A scene file is told by its content, whatever its name.
bool isSceneFile(const std::vector<std::uint8_t>& bytes) {
    return bytes.size() >= sizeof standin::kSceneMagic &&
           std::memcmp(bytes.data(), standin::kSceneMagic, sizeof standin::kSceneMagic) == 0;
}

/// Why Windows cannot take `name` (lower case) as a file's name, or "": it
/// keeps some names for devices, whatever follows them after a dot, and a
/// colon names a stream of a file. Refused on every system, so that a scene
/// saved on one opens on the other.
std::string windowsNameProblem(const std::string& name) {
    if (name.find(':') != std::string::npos) {
        return "\"" + name + "\" holds a colon, which on Windows names a stream inside a file";
    }
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    bool device = std::find(std::begin(kDevices), std::end(kDevices), stem) != std::end(kDevices);
    if ((stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0) && stem.size() > 3) {
        // COM1 to COM9 and LPT1 to LPT9, and with the superscript digits 1, 2, 3.
        const std::string digit = stem.substr(3);
        device = device || (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') ||
                 digit == "\u00b9" || digit == "\u00b2" || digit == "\u00b3";
    }
    if (!device) return {};
    return "\"" + name + "\" is a name Windows keeps for a device; choose another";
}

/// The file name of `path` in lower case (ASCII).
std::string lowerFileName(const std::filesystem::path& path) {
    std::string name = standin::PathToUtf8(path.filename());
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

/// Why `path` may not name a new scene file, or "": new scene files are
/// named as such, as images are named .png.
std::string newSceneNameProblem(const std::filesystem::path& path) {
    const std::string name = lowerFileName(path);
    if (name == ".nscene") return "a scene file needs a name before .nscene";
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && name.substr(dot) == ".nscene") {
        return windowsNameProblem(name);
    }
    return quoted(path) + " does not exist, and a new scene file's name ends in .nscene";
}

/// Takes the scene lock on `path` into `lock` when it is a regular file: a file
/// about to be created has no lock yet, and another kind is refused anyway.
void lockScene(std::optional<SceneLock>& lock, const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) lock.emplace(path, sceneLockWait());
}

}  // namespace

Document::Document(HostSession& session, const std::string& sceneFile,
                   std::filesystem::path fileRoot)
    : session_(&session), fileRoot_(std::move(fileRoot)), panels_(session.moduleResources()) {
    if (!sceneFile.empty()) file_ = standin::PathFromUtf8(sceneFile);
    if (!file_.empty() && fileState(file_).kind != FileState::Kind::Absent) {
        load(file_);
    } else {
        if (const std::string problem = file_.empty() ? "" : newSceneNameProblem(file_);
            !problem.empty()) {
            throw Failure(problem);
        }
        map_ = &session_->createMap();
    }
    panels_.open(*map_);
    startHistory();
}

Document::~Document() { panels_.close(); }

nlohmann::json Document::describe() const {
    const DiskChange onDisk = diskChange();
    Texmap* thicknessMap = map_->GetSubTexmap(0);
    nlohmann::json thickness = {{"kind", thicknessMapKind(thicknessMap)}};
    if (auto* bitmap = dynamic_cast<standin::GreyBitmapMap*>(thicknessMap)) {
        thickness["file"] = bitmap->GetFileName().ToUTF8();
        if (!bitmap->ImageError().empty()) thickness["imageError"] = bitmap->ImageError();
    }
    return {{"thicknessMapKinds", thicknessMapKinds()},
            {"file", file_.empty() ? std::string() : shownName(file_)},
            {"newFile", !file_.empty() && read_.kind == FileState::Kind::Absent},
            {"unsaved", unsaved()},
            {"undoSteps", history_.undoSteps()},
            {"redoSteps", history_.redoSteps()},
            {"changedOnDisk", onDisk == DiskChange::Changed},
            {"deletedOnDisk", onDisk == DiskChange::Deleted},
            {"rollouts", panels_.describe()},
            {"thicknessMap", thickness}};
}

bool Document::panelInput(int panel, int id, const PanelInput& input, std::uint64_t gesture) {
    if (MapPanels::changesNothing(input)) {
        panels_.input(panel, id, input);
        return false;
    }
    return recordEdit(gesture, [&] { panels_.input(panel, id, input); });
}

bool Document::recordEdit(std::uint64_t gesture, const std::function<void()>& edit) {
    // The next step of the same drag adds to the step that the drag began.
    const bool newStep = gesture == 0 || gesture != lastGesture_;
    std::optional<HistoryState> before;
    if (newStep) before = snapshot();
    edit();
    // The further moves of a drag need nothing kept: the history takes the
    // scene as it is when the next step comes.
    if (before) {
        std::vector<std::uint8_t> after = snapshot().scene;
        if (after == before->scene) return false;
        history_.record(*before, std::move(after));
    }
    lastGesture_ = gesture;
    version_ = ++versions_;
    return true;
}

HistoryState Document::snapshot() {
    const auto roots = session_->scene().Roots();
    const auto mapRoot = static_cast<std::size_t>(
        std::find(roots.begin(), roots.end(), static_cast<ReferenceTarget*>(map_)) - roots.begin());
    try {
        return {standin::WriteSceneBytes(session_->scene(), "the studio's scene"), version_, mapRoot};
    } catch (const standin::SceneFileError& error) {
        throw std::runtime_error(std::string("the scene cannot be kept for undo: ") + error.what());
    }
}

void Document::restore(const HistoryState& state) {
    std::unique_ptr<standin::Scene> scene;
    try {
        scene = standin::ReadSceneBytes(state.scene, "the studio's scene");
    } catch (const standin::SceneFileError& error) {
        throw std::runtime_error(std::string("the step cannot be restored: ") + error.what());
    }
    // A scene may hold other maps: the one edited is where it was.
    const auto roots = scene->Roots();
    auto* map = state.mapRoot < roots.size() ? dynamic_cast<Texmap*>(roots[state.mapRoot]) : nullptr;
    panels_.close();
    session_->adoptScene(std::move(scene), "the studio's scene");
    map_ = map != nullptr ? map : session_->findMap();
    panels_.open(*map_);
    version_ = state.version;
}

void Document::startHistory() {
    history_.clear();
    lastGesture_ = 0;
    version_ = savedVersion_ = ++versions_;
}

void Document::undo() { stepThroughHistory(true); }

void Document::redo() { stepThroughHistory(false); }

void Document::stepThroughHistory(bool back) {
    const char* what = back ? "undo" : "redo";
    if ((back ? history_.undoSteps() : history_.redoSteps()) == 0) {
        throw Conflict(std::string("nothing to ") + what);
    }
    const HistoryState now = snapshot();
    const std::optional<HistoryState> reached = back ? history_.undo(now) : history_.redo(now);
    if (!reached) throw Conflict(std::string("nothing to ") + what);
    restore(*reached);
    lastGesture_ = 0;
}

void Document::resetParameter(int panel, int id) {
    const std::function<void()> reset = panels_.parameterReset(panel, id);
    recordEdit(0, [&] {
        reset();
        // The module sets what is available when a panel opens: a reset
        // check box must make its controls follow.
        panels_.open(*map_);
    });
}

void Document::resetMap() {
    panels_.resetMapParameters();
    if (map_->GetSubTexmap(0) != nullptr) map_->SetSubTexmap(0, nullptr);
    panels_.open(*map_);
}

void Document::resetAll() {
    recordEdit(0, [&] { resetMap(); });
}

void Document::applyPreset(const std::string& name) {
    const Preset* preset = nullptr;
    try {
        preset = &findPreset(name);
    } catch (const BadValue& error) {
        throw NotFound(error.what());
    }
    recordEdit(0, [&] {
        // As `--preset` gives it: the preset's values over the defaults.
        const HistoryState before = snapshot();
        resetMap();
        panels_.close();
        try {
            tools::applyPreset(*map_, *preset, kPanelTime);
        } catch (const std::runtime_error& error) {
            restore(before);
            throw BadValue(error.what());
        }
        panels_.open(*map_);
    });
}

void Document::setThicknessMap(const std::string& kind, const std::string& file) {
    // The chooser is the map button's: available exactly when the module
    // makes the button available.
    if (!panels_.thicknessMapButtonEnabled()) {
        throw Conflict("the thickness map is switched off: tick the box beside the map "
                       "button first");
    }
    MapSettings settings;
    const ThicknessMapKind* known = FindThicknessMapKind(kind);
    if (known != nullptr) {
        settings.thicknessMap =
            known->takesPng ? kind + ":" + checkedPath(file, "PNG").string() : kind;
    } else if (kind != "none") {
        std::string names = "none";
        for (const ThicknessMapKind& other : ThicknessMapKinds()) names += std::string(", ") + other.name;
        throw BadValue("\"" + kind + "\" is no thickness map (" + names + ")");
    }
    standin::ScriptValue enabled;
    std::string error;
    standin::GetParamByScriptName(*map_->GetParamBlock(0), "thicknessmapenabled", kPanelTime,
                                  enabled, error);
    settings.useThicknessMap = enabled.i != 0;

    recordEdit(0, [&] {
        panels_.closeThicknessPanel();
        try {
            if (kind == "none") {
                map_->SetSubTexmap(0, nullptr);
            } else {
                applySettings(*map_, settings, kPanelTime);
            }
        } catch (const std::runtime_error& refused) {
            panels_.reopenThicknessPanel(*map_);
            throw BadValue(refused.what());
        }
        panels_.reopenThicknessPanel(*map_);
    });
}

void Document::newScene() {
    panels_.close();
    session_->scene().Clear();
    map_ = &session_->createMap();
    panels_.open(*map_);
    file_.clear();
    read_ = {};
    startHistory();
}

Document::FileState Document::fileState(const std::filesystem::path& path) {
    FileState state;
    standin::FileReadFailure failure;
    if (standin::ReadRegularFile(path, standin::kMaxSceneFileBytes, state.bytes, failure,
                                 &state.identity)) {
        state.kind = FileState::Kind::Regular;
        return state;
    }
    using Why = standin::FileReadFailure::Kind;
    if (failure.kind == Why::kNotFound) return state;
    state.kind = FileState::Kind::Other;
    switch (failure.kind) {
        case Why::kDirectory:
            state.problem = "it is a directory";
            break;
        case Why::kNotRegular:
            state.problem = "it is a device, a pipe or a socket";
            break;
        case Why::kTooLarge:
            state.problem = "it is larger than any scene file";
            break;
        default:
            state.problem = "it cannot be read: " + failure.systemText;
    }
    return state;
}

void Document::load(const std::filesystem::path& path) {
    // Read under the lock, so that an edit by `scene set` is either wholly
    // in what is read or not at all.
    std::optional<SceneLock> lock;
    lockScene(lock, path);
    FileState read;
    std::unique_ptr<standin::Scene> loaded;
    try {
        loaded = standin::LoadSceneFile(path, &read.identity, &read.bytes);
    } catch (const standin::SceneFileError& error) {
        throw Failure(error.what());
    }
    read.kind = FileState::Kind::Regular;
    const auto roots = loaded->Roots();
    const bool hasMap = std::any_of(roots.begin(), roots.end(), [&](ReferenceTarget* root) {
        return root->SuperClassID() == session_->mapClass().SuperClassID() &&
               root->ClassID() == session_->mapClass().ClassID();
    });
    if (!hasMap) throw Failure("scene " + quoted(path) + " holds no Nacrelle map");
    const bool panelsOpen = panels_.isOpen();
    panels_.close();
    session_->adoptScene(std::move(loaded), path.string());
    map_ = session_->findMap();
    if (panelsOpen) panels_.open(*map_);
    file_ = path;
    read_ = std::move(read);
}

void Document::open(const std::string& file) {
    load(checkedPath(file, "scene"));
    startHistory();
}

void Document::reload() {
    if (file_.empty()) throw BadValue("no scene file is open: nothing to reload");
    load(file_);
    startHistory();
}

std::filesystem::path Document::checkedPath(const std::string& file, const char* what) const {
    if (file.empty()) throw BadValue(std::string("say which ") + what + " file");
    if (file.find('\0') != std::string::npos) {
        throw BadValue(std::string("the ") + what + " file name holds a NUL character");
    }
    std::filesystem::path path = standin::PathFromUtf8(file);
    if (!fileRoot_.empty()) {
        if (path.is_relative()) path = fileRoot_ / path;
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(path, error).lexically_normal();
        const std::filesystem::path root = fileRoot_.lexically_normal();
        const auto [rootEnd, fullAt] = std::mismatch(root.begin(), root.end(), full.begin(), full.end());
        if (error || rootEnd != root.end()) {
            throw Refused("\"" + file + "\" lies outside " + root.string());
        }
        (void)fullAt;
    }
    return path;
}

bool Document::isOpenFile(const std::filesystem::path& target) const {
    if (file_.empty()) return false;
    if (target == file_) return true;
    const std::optional<standin::FileIdentity> identity = standin::IdentifyFile(target);
    const std::optional<standin::FileIdentity> open = standin::IdentifyFile(file_);
    if (identity || open) return identity == open;
    // Neither is there (the open file was deleted): names of the same place.
    std::error_code targetError, openError;
    const std::filesystem::path where = std::filesystem::weakly_canonical(target, targetError);
    return !targetError && where == std::filesystem::weakly_canonical(file_, openError) &&
           !openError;
}

DiskChange Document::diskChange() const {
    if (file_.empty()) return DiskChange::None;
    const FileState now = fileState(file_);
    if (now.kind == FileState::Kind::Absent) {
        return read_.kind == FileState::Kind::Absent ? DiskChange::None : DiskChange::Deleted;
    }
    // By content: a file replaced by the same bytes (an editor's save that
    // changed nothing) is no change.
    const bool same = now.kind == read_.kind && now.bytes == read_.bytes && now.problem == read_.problem;
    return same ? DiskChange::None : DiskChange::Changed;
}

void Document::save(const std::string& file, bool replace, bool anyway) {
    if (file.empty() && file_.empty()) {
        throw BadValue("say which scene file to save to: the scene has none yet");
    }
    // The open file's name as the page shows it means the open file: a name
    // that is not UTF-8 shows otherwise than it is. Any other spelling of the
    // open file (another path to it, a link, a case the file system ignores)
    // means it too, and gets the same checks.
    const bool named = !file.empty() && (file_.empty() || file != shownName(file_));
    std::filesystem::path chosen = named ? checkedPath(file, "scene") : file_;
    // A name without a folder goes beside the open scene, where a file
    // dialog would open, not where the studio was started.
    if (named && fileRoot_.empty() && chosen.is_relative() && !file_.empty()) {
        chosen = file_.parent_path() / chosen;
    }
    const bool openFile = !named || isOpenFile(chosen);
    const std::filesystem::path target = openFile ? file_ : chosen;
    if (const std::string tooLong = standin::NameLengthRefusal(target); !tooLong.empty()) {
        throw BadValue("not saved: " + tooLong);
    }
    // Before the file is even looked at: on Windows such a name opens a
    // device whether or not a file of that name exists.
    if (!openFile) {
        if (const std::string problem = windowsNameProblem(lowerFileName(target));
            !problem.empty()) {
            throw BadValue("not saved: " + problem);
        }
    }
    // Held from the check to the save, as `scene set` holds it from reading
    // to saving: neither can slip in between the other's steps.
    std::optional<SceneLock> lock;
    try {
        lockScene(lock, target);
    } catch (const Failure& error) {
        throw Conflict(std::string("not saved: ") + error.what());
    }
    const FileState now = fileState(target);
    const std::string name = quoted(target);
    if (now.kind == FileState::Kind::Other) {
        throw Conflict("not saved: " + name + " is not a scene file (" + now.problem +
                           "); choose another name");
    }
    if (now.kind == FileState::Kind::Regular && !isSceneFile(now.bytes)) {
        throw Conflict("not saved: " + name + " is not a scene file, and the studio " +
                           "replaces only scene files; choose another name");
    }
    if (now.kind == FileState::Kind::Absent && !openFile) {
        if (const std::string problem = newSceneNameProblem(target); !problem.empty()) {
            throw BadValue("not saved: " + problem);
        }
    }
    if (openFile && !anyway) {
        switch (diskChange()) {
            case DiskChange::Deleted:
                throw Conflict("not saved: " + name + " was deleted since the studio read it",
                               "deleted");
            case DiskChange::Changed:
                throw Conflict("not saved: " + name + " has changed on disk since the studio read it",
                               "changed");
            case DiskChange::None:
                break;
        }
    }
    if (!openFile && now.kind == FileState::Kind::Regular && !replace) {
        throw Conflict("not saved: the scene " + name + " exists already", "exists");
    }
    // What was written, not the file read again: once renamed, the new file
    // is no longer the one locked, and another program's edit may follow at
    // once (that edit must show as a change, not as what the studio holds).
    FileState saved;
    saved.kind = FileState::Kind::Regular;
    try {
        session_->saveScene(target, {}, &saved.bytes);
    } catch (const Failure& error) {
        throw Failure(std::string("not saved: ") + error.what());
    }
    file_ = target;
    read_ = std::move(saved);
    savedVersion_ = version_;
}

}  // namespace nacrelle::tools
