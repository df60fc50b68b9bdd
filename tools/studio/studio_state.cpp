#include "studio/studio_state.h"

#include <imtl.h>
#include <iparamb2.h>
#include <platform/command_line.h>
#include <maps/grey_maps.h>
#include <panels/panels.h>
#include <png/png_codec.h>
#include <params/param_access.h>
#include <sdk/remap_dir.h>
#include <modules/resources.h>
#include <scene/scene.h>
#include <scene/scene_file.h>
#include <platform/atomic_file.h>
#include <platform/shell.h>
#include <platform/utf16.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>

#include "common/errors.h"
#include "app/session/host_session.h"
#include "app/render/image.h"
#include "app/session/json_values.h"
#include "app/session/map_settings.h"
#include "app/session/panel_editor.h"
#include "app/session/thickness_map_kinds.h"
#include "app/presets/presets.h"
#include "app/render/render.h"
#include "app/document/scene_lock.h"

namespace nacrelle::tools::studio {

namespace {

constexpr TimeValue kEditTime = 0;

/// The material editor as the panels see it: the studio edits at time 0.
PanelEditor& editor() {
    static PanelEditor instance(kEditTime);
    return instance;
}

/// What the page needs to know of the parameter behind a control: its name
/// (the module's string), whether it is an integer, its default and range.
void addParameter(nlohmann::json& control, ParamBlockDesc2* desc, ParamID param) {
    const ParamDef* def = desc != nullptr ? desc->FindParamDef(param) : nullptr;
    if (def == nullptr) return;
    const MCHAR* name =
        desc->cd != nullptr && def->local_name != 0 ? desc->cd->GetRsrcString(def->local_name) : nullptr;
    control["name"] = name != nullptr ? WStr(name).ToUTF8() : def->int_name.ToUTF8();
    control["integer"] = def->type == TYPE_INT;
    if (def->type == TYPE_INT || def->type == TYPE_BOOL) control["default"] = def->def.i;
    if (def->type == TYPE_FLOAT) control["default"] = jsonNumber(def->def.f);
    if (!def->has_range) return;
    if (def->type == TYPE_INT) {
        control["range"] = {def->range_low.i, def->range_high.i};
    } else if (def->type == TYPE_FLOAT) {
        control["range"] = {jsonNumber(def->range_low.f), jsonNumber(def->range_high.f)};
    }
}

nlohmann::json describeControl(const standin::ControlView& c, ParamBlockDesc2* desc) {
    nlohmann::json control = {{"id", c.id},
                              {"class", c.className},
                              {"kind", standin::ControlKindName(c.kind)},
                              {"text", c.text},
                              {"rect", {c.rect.x, c.rect.y, c.rect.cx, c.rect.cy}},
                              {"style", c.style},
                              {"enabled", c.enabled},
                              {"visible", c.visible},
                              {"param", c.param}};
    if (c.param >= 0) {
        if (c.number) control["value"] = *c.number;
        if (c.name) control["value"] = *c.name;
        if (c.step > 0.0) control["step"] = c.step;
        addParameter(control, desc, c.param);
    }
    if (c.kind == standin::ControlKind::DropDown) control["items"] = c.items;
    return control;
}

/// The rollout's size in dialog units: its template's, or for generated rows
/// the extent of its controls.
std::pair<int, int> rolloutSize(const standin::PanelRollout& rollout,
                                const standin::ModuleResources* resources) {
    if (rollout.DialogId() != 0 && resources != nullptr) {
        if (const standin::DialogTemplate* dialog =
                resources->FindDialog(static_cast<std::uint16_t>(rollout.DialogId()))) {
            return {dialog->cx, dialog->cy};
        }
    }
    // A generated rollout has no template: as large as its controls, with
    // the margin a dialog template leaves around them.
    constexpr int kMarginUnits = 4;
    int cx = 0, cy = 0;
    for (const standin::ControlView& c : rollout.Controls()) {
        cx = std::max(cx, c.rect.x + c.rect.cx + kMarginUnits);
        cy = std::max(cy, c.rect.y + c.rect.cy + kMarginUnits);
    }
    return {cx, cy};
}

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

/// Why `path` may not name a new scene file, or "": new scene files are
/// named as such, as images are named .png.
std::string newSceneNameProblem(const std::filesystem::path& path) {
    std::string extension = standin::PathToUtf8(path.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".nscene") return {};
    return quoted(path) + " does not exist, and a new scene file's name ends in .nscene";
}

/// Takes the scene lock on `path` into `lock` when it is a regular file: a file
/// about to be created has no lock yet, and another kind is refused anyway.
void lockScene(std::optional<SceneLock>& lock, const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) lock.emplace(path, sceneLockWait());
}

/// The draft swatch's size: half the swatch's.
int draftSize(int swatchSize) { return std::max(1, swatchSize / 2); }

/// Decimals of a spinner's step: 0.01 has two (it is a float, 0.0099999998).
int stepDecimals(double step) {
    if (!(step > 0.0) || step >= 1.0) return 0;
    return std::min(6, static_cast<int>(std::ceil(-std::log10(step) - 1e-6)));
}

/// Rounds what spinner `id` holds to its step's decimals: float steps added
/// one drag move at a time drift (14.999996 for 15, 1.3e-7 for 0), and a
/// spinner's values are those of its step grid.
standin::InputResult landOnStepGrid(standin::HeadlessPanel& panel, int id) {
    standin::InputResult onGrid;
    onGrid.applied = true;
    for (int r = 0; r < panel.NumRollouts(); ++r) {
        standin::PanelRollout& rollout = panel.Rollout(r);
        const std::optional<standin::ControlView> spinner = rollout.Control(id);
        if (!spinner || !spinner->number || spinner->step <= 0.0) continue;
        const double scale = std::pow(10.0, stepDecimals(spinner->step));
        const double grid = std::round(*spinner->number * scale) / scale;
        if (static_cast<float>(grid) == static_cast<float>(*spinner->number)) return onGrid;
        for (const standin::ControlView& edit : rollout.Controls()) {
            if (edit.kind != standin::ControlKind::Edit || edit.param != spinner->param) continue;
            char text[64];
            std::snprintf(text, sizeof text, "%.*f", stepDecimals(spinner->step),
                          grid == 0.0 ? 0.0 : grid);
            return rollout.TypeText(edit.id, text);
        }
    }
    return onGrid;
}

standin::HeadlessPanel* buildPanel(Texmap& map) {
    ParamDlg* dlg = map.CreateParamDlg(nullptr, &editor());
    standin::HeadlessPanel* panel = standin::AsHeadlessPanel(dlg);
    if (panel == nullptr) {
        if (dlg != nullptr) dlg->DeleteThis();
        throw Failure("the map built no panel");
    }
    panel->SetTime(kEditTime);
    return panel;
}

}  // namespace

/// Takes the lock for a change, stopping a render that holds it meanwhile,
/// unless the change leaves the pictures as they are (`stopsRenders` false:
/// a save), which waits for the render instead.
class StudioState::ChangeScope {
public:
    explicit ChangeScope(StudioState& state, bool stopsRenders = true) : state_(state) {
        if (stopsRenders) ++state_.waitingChanges_;
        lock_ = std::unique_lock<std::recursive_mutex>(state_.mutex_);
        if (stopsRenders) --state_.waitingChanges_;
        state_.opened_.clear();
    }

private:
    StudioState& state_;
    std::unique_lock<std::recursive_mutex> lock_;
};

StudioState::StudioState(HostSession& session, const StudioOptions& options)
    : options_(options), session_(&session) {
    shell_ = std::make_unique<standin::ScopedShellHandler>(
        [this](std::string address) { opened_.push_back(std::move(address)); });
    {
        // The icon: a map at its defaults, drawn before any scene is read.
        constexpr int kIconSize = 32;
        Texmap& fresh = session_->createMap();
        const Image icon =
            renderSwatch(fresh, kEditTime, {kIconSize, kIconSize, options.threads, false, {}});
        icon_ = encodePng(icon, PngEncoding{8, true, options.threads});
        session_->scene().Clear();
    }
    if (!options.sceneFile.empty()) file_ = standin::PathFromUtf8(options.sceneFile);
    if (!file_.empty() && fileState(file_).kind != FileState::Kind::Absent) {
        load(file_);
    } else {
        if (const std::string problem = file_.empty() ? "" : newSceneNameProblem(file_);
            !problem.empty()) {
            throw Failure(problem);
        }
        map_ = &session_->createMap();
    }
    openPanels();
    startHistory();
}

StudioState::~StudioState() {
    closePanels();
    shell_.reset();
}

void StudioState::closePanels() {
    if (thicknessPanel_ != nullptr) thicknessPanel_->DeleteThis();
    if (panel_ != nullptr) panel_->DeleteThis();
    thicknessPanel_ = nullptr;
    panel_ = nullptr;
}

void StudioState::openPanels() {
    panel_ = buildPanel(*map_);
    if (Texmap* thicknessMap = map_->GetSubTexmap(0)) thicknessPanel_ = buildPanel(*thicknessMap);
}

std::vector<standin::HeadlessPanel*> StudioState::panels() const {
    std::vector<standin::HeadlessPanel*> list{panel_};
    for (int i = 0; i < panel_->NumDlgs(); ++i) {
        if (standin::HeadlessPanel* added = standin::AsHeadlessPanel(panel_->GetDlg(i))) {
            list.push_back(added);
        }
    }
    if (thicknessPanel_ != nullptr) list.push_back(thicknessPanel_);
    return list;
}

nlohmann::json StudioState::describeLocked() const {
    const std::shared_ptr<const standin::ModuleResources> resources =
        session_->module().Resources();
    nlohmann::json rollouts = nlohmann::json::array();
    const std::vector<standin::HeadlessPanel*> list = panels();
    for (std::size_t p = 0; p < list.size(); ++p) {
        for (int r = 0; r < list[p]->NumRollouts(); ++r) {
            const standin::PanelRollout& rollout = list[p]->Rollout(r);
            nlohmann::json controls = nlohmann::json::array();
            for (const standin::ControlView& c : rollout.Controls()) {
                controls.push_back(describeControl(c, rollout.Desc()));
            }
            const auto [cx, cy] = rolloutSize(rollout, resources.get());
            rollouts.push_back({{"panel", p},
                                {"title", rollout.Title()},
                                {"dialog", rollout.DialogId()},
                                {"size", {cx, cy}},
                                {"thicknessMap", list[p] == thicknessPanel_},
                                {"controls", controls}});
        }
    }

    const DiskChange onDisk = diskChange();
    Texmap* thicknessMap = map_->GetSubTexmap(0);
    nlohmann::json thickness = {{"kind", thicknessMapKind(thicknessMap)}};
    if (auto* bitmap = dynamic_cast<standin::GreyBitmapMap*>(thicknessMap)) {
        thickness["file"] = bitmap->GetFileName().ToUTF8();
        if (!bitmap->ImageError().empty()) thickness["imageError"] = bitmap->ImageError();
    }
    return {{"revision", revision_},
            {"serial", serial_},
            {"thicknessMapKinds", thicknessMapKinds()},
            {"file", file_.empty() ? std::string() : shownName(file_)},
            {"unsaved", unsaved()},
            {"undoSteps", history_.undoSteps()},
            {"redoSteps", history_.redoSteps()},
            {"changedOnDisk", onDisk == DiskChange::Changed},
            {"deletedOnDisk", onDisk == DiskChange::Deleted},
            {"rollouts", rollouts},
            {"thicknessMap", thickness},
            {"swatch", {options_.swatchSize, options_.swatchSize}},
            {"draftSwatch", {draftSize(options_.swatchSize), draftSize(options_.swatchSize)}},
            {"viewport", {options_.viewportSize, options_.viewportSize}},
            {"chart", {options_.chartWidth, options_.chartHeight}}};
}

nlohmann::json StudioState::describe() {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return describeLocked();
}

void StudioState::onChange(std::function<void(const std::string&)> listener) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    listener_ = std::move(listener);
}

nlohmann::json StudioState::atRevision(std::optional<std::uint64_t> revision,
                                       const std::function<nlohmann::json()>& change,
                                       bool keepsPictures) {
    ChangeScope scope(*this, !keepsPictures);
    if (revision && *revision != revision_) {
        throw Conflict(
            "not done: the scene has changed in another tab or window since this one "
            "showed it; it now shows the scene as it is",
            "stale");
    }
    return change();
}

nlohmann::json StudioState::changed() {
    ++serial_;
    nlohmann::json state = describeLocked();
    if (listener_) {
        listener_(state.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    }
    // Only the tab that asked opens what its button opened.
    state["opened"] = opened_;
    return state;
}

std::filesystem::path StudioState::checkedPath(const std::string& file, const char* what) const {
    if (file.empty()) throw BadValue(std::string("say which ") + what + " file");
    if (file.find('\0') != std::string::npos) {
        throw BadValue(std::string("the ") + what + " file name holds a NUL character");
    }
    std::filesystem::path path = standin::PathFromUtf8(file);
    if (!options_.fileRoot.empty()) {
        if (path.is_relative()) path = options_.fileRoot / path;
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(path, error).lexically_normal();
        const std::filesystem::path root = options_.fileRoot.lexically_normal();
        const auto [rootEnd, fullAt] = std::mismatch(root.begin(), root.end(), full.begin(), full.end());
        if (error || rootEnd != root.end()) {
            throw Refused("\"" + file + "\" lies outside " + root.string());
        }
        (void)fullAt;
    }
    return path;
}

standin::HeadlessPanel& StudioState::panelAt(int panel) const {
    const std::vector<standin::HeadlessPanel*> list = panels();
    if (panel < 0 || static_cast<std::size_t>(panel) >= list.size()) {
        throw NotFound("no panel " + std::to_string(panel));
    }
    return *list[static_cast<std::size_t>(panel)];
}

nlohmann::json StudioState::panelInput(int panel, int id, const std::string& action,
                                       const std::string& text, int steps,
                                       std::uint64_t gesture, int item) {
    ChangeScope scope(*this);
    standin::HeadlessPanel& target = panelAt(panel);
    const auto refuseUnless = [](const standin::InputResult& result) {
        if (!result) throw BadValue(result.error);
    };
    if (action == "press") {
        // Buttons open pages and choose maps elsewhere: nothing to undo.
        refuseUnless(target.PressButton(id));
        return changed();
    }
    return recordEdit(gesture, [&] {
        if (action == "type") {
            refuseUnless(target.TypeText(id, text));
        } else if (action == "spin") {
            refuseUnless(target.DragSpinner(id, steps));
            refuseUnless(landOnStepGrid(target, id));
        } else if (action == "click") {
            refuseUnless(target.ClickCheckBox(id));
        } else if (action == "select") {
            refuseUnless(target.SelectItem(id, item));
        } else {
            throw BadValue("unknown action \"" + action + "\" (type, spin, click, select or press)");
        }
    });
}

template <class Edit>
nlohmann::json StudioState::recordEdit(std::uint64_t gesture, Edit&& edit) {
    // The next step of the same drag adds to the step that the drag began.
    const bool newStep = gesture == 0 || gesture != lastGesture_;
    std::optional<Snapshot> before;
    if (newStep) before = snapshot();
    edit();
    // The further moves of a drag need nothing kept: the history takes the
    // scene as it is when the next step comes.
    if (before) history_.record(*before, snapshot().scene);
    lastGesture_ = gesture;
    version_ = ++versions_;
    ++revision_;
    return changed();
}

StudioState::Snapshot StudioState::snapshot() {
    const auto roots = session_->scene().Roots();
    const auto mapRoot = static_cast<std::size_t>(
        std::find(roots.begin(), roots.end(), static_cast<ReferenceTarget*>(map_)) - roots.begin());
    try {
        return {standin::WriteSceneBytes(session_->scene(), "the studio's scene"), version_, mapRoot};
    } catch (const standin::SceneFileError& error) {
        throw std::runtime_error(std::string("the scene cannot be kept for undo: ") + error.what());
    }
}

void StudioState::restore(const Snapshot& state) {
    std::unique_ptr<standin::Scene> scene;
    try {
        scene = standin::ReadSceneBytes(state.scene, "the studio's scene");
    } catch (const standin::SceneFileError& error) {
        throw std::runtime_error(std::string("the step cannot be restored: ") + error.what());
    }
    // A scene may hold other maps: the one edited is where it was.
    const auto roots = scene->Roots();
    auto* map = state.mapRoot < roots.size() ? dynamic_cast<Texmap*>(roots[state.mapRoot]) : nullptr;
    closePanels();
    session_->adoptScene(std::move(scene), "the studio's scene");
    map_ = map != nullptr ? map : session_->findMap();
    openPanels();
    version_ = state.version;
}

void StudioState::startHistory() {
    history_.clear();
    lastGesture_ = 0;
    version_ = savedVersion_ = ++versions_;
}

void StudioState::reopenPanels() {
    closePanels();
    openPanels();
}

nlohmann::json StudioState::undo() { return stepThroughHistory(true); }

nlohmann::json StudioState::redo() { return stepThroughHistory(false); }

nlohmann::json StudioState::stepThroughHistory(bool back) {
    ChangeScope scope(*this);
    const char* what = back ? "undo" : "redo";
    if ((back ? history_.undoSteps() : history_.redoSteps()) == 0) {
        throw Conflict(std::string("nothing to ") + what);
    }
    const Snapshot now = snapshot();
    const std::optional<Snapshot> reached = back ? history_.undo(now) : history_.redo(now);
    if (!reached) throw Conflict(std::string("nothing to ") + what);
    restore(*reached);
    lastGesture_ = 0;
    ++revision_;
    return changed();
}

nlohmann::json StudioState::resetParameter(int panel, int id) {
    ChangeScope scope(*this);
    standin::HeadlessPanel& target = panelAt(panel);
    for (int r = 0; r < target.NumRollouts(); ++r) {
        standin::PanelRollout& rollout = target.Rollout(r);
        const std::optional<standin::ControlView> control = rollout.Control(id);
        if (!control) continue;
        if (control->param < 0) throw BadValue("control " + std::to_string(id) + " has no parameter");
        if (!control->enabled) throw Conflict("control " + std::to_string(id) + " is unavailable");
        return recordEdit(0, [&] {
            rollout.GetParamBlock()->Reset(control->param);
            // The module sets what is available when a panel opens: a reset
            // check box must make its controls follow.
            reopenPanels();
        });
    }
    throw NotFound("no control " + std::to_string(id) + " in panel " + std::to_string(panel));
}

void StudioState::resetMap() {
    std::vector<IParamBlock2*> blocks;
    for (standin::HeadlessPanel* panel : panels()) {
        if (panel == thicknessPanel_) continue;
        for (int r = 0; r < panel->NumRollouts(); ++r) blocks.push_back(panel->Rollout(r).GetParamBlock());
    }
    closePanels();
    for (IParamBlock2* block : blocks) block->ResetAll();
    if (map_->GetSubTexmap(0) != nullptr) map_->SetSubTexmap(0, nullptr);
    openPanels();
}

nlohmann::json StudioState::resetAll() {
    ChangeScope scope(*this);
    return recordEdit(0, [&] { resetMap(); });
}

nlohmann::json StudioState::presets() {
    nlohmann::json list = nlohmann::json::array();
    // The same objects as `nacrelle presets --json` prints (their keys sorted).
    for (const Preset& preset : allPresets()) list.push_back(nlohmann::json::parse(presetJson(preset).dump()));
    return list;
}

nlohmann::json StudioState::applyPreset(const std::string& name) {
    ChangeScope scope(*this);
    const Preset* preset = nullptr;
    try {
        preset = &findPreset(name);
    } catch (const BadValue& error) {
        throw NotFound(error.what());
    }
    return recordEdit(0, [&] {
        // As `--preset` gives it: the preset's values over the defaults.
        const Snapshot before = snapshot();
        resetMap();
        closePanels();
        try {
            tools::applyPreset(*map_, *preset, kEditTime);
        } catch (const std::runtime_error& error) {
            restore(before);
            throw BadValue(error.what());
        }
        openPanels();
    });
}

nlohmann::json StudioState::setThicknessMap(const std::string& kind, const std::string& file) {
    ChangeScope scope(*this);
    // The chooser is the map button's: available exactly when the module
    // makes the button available.
    for (const standin::ControlView& c : panel_->Rollout(0).Controls()) {
        if (c.kind == standin::ControlKind::MapButton && !c.enabled) {
            throw Conflict("the thickness map is switched off: tick the box beside the map "
                           "button first");
        }
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
    standin::GetParamByScriptName(*map_->GetParamBlock(0), "thicknessmapenabled", kEditTime,
                                  enabled, error);
    settings.useThicknessMap = enabled.i != 0;

    return recordEdit(0, [&] {
        if (thicknessPanel_ != nullptr) thicknessPanel_->DeleteThis();
        thicknessPanel_ = nullptr;
        try {
            if (kind == "none") {
                map_->SetSubTexmap(0, nullptr);
            } else {
                applySettings(*map_, settings, kEditTime);
            }
        } catch (const std::runtime_error& refused) {
            if (Texmap* old = map_->GetSubTexmap(0)) thicknessPanel_ = buildPanel(*old);
            throw BadValue(refused.what());
        }
        if (Texmap* chosen = map_->GetSubTexmap(0)) thicknessPanel_ = buildPanel(*chosen);
    });
}

nlohmann::json StudioState::newScene() {
    ChangeScope scope(*this);
    closePanels();
    session_->scene().Clear();
    map_ = &session_->createMap();
    openPanels();
    file_.clear();
    read_ = {};
    startHistory();
    ++revision_;
    return changed();
}

StudioState::FileState StudioState::fileState(const std::filesystem::path& path) {
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

void StudioState::load(const std::filesystem::path& path) {
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
    const bool panelsOpen = panel_ != nullptr;
    closePanels();
    session_->adoptScene(std::move(loaded), path.string());
    map_ = session_->findMap();
    if (panelsOpen) openPanels();
    file_ = path;
    read_ = std::move(read);
}

nlohmann::json StudioState::openScene(const std::string& file) {
    ChangeScope scope(*this);
    load(checkedPath(file, "scene"));
    startHistory();
    ++revision_;
    return changed();
}

nlohmann::json StudioState::reloadScene() {
    ChangeScope scope(*this);
    if (file_.empty()) throw BadValue("no scene file is open: nothing to reload");
    load(file_);
    startHistory();
    ++revision_;
    return changed();
}

bool StudioState::isOpenFile(const std::filesystem::path& target) const {
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

StudioState::DiskChange StudioState::diskChange() const {
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

nlohmann::json StudioState::saveScene(const std::string& file, bool replace, bool anyway) {
    ChangeScope scope(*this, false);
    if (file.empty() && file_.empty()) {
        throw BadValue("say which scene file to save to: the scene has none yet");
    }
    // The open file's name as the page shows it means the open file: a name
    // that is not UTF-8 shows otherwise than it is. Any other spelling of the
    // open file (another path to it, a link, a case the file system ignores)
    // means it too, and gets the same checks.
    const bool named = !file.empty() && (file_.empty() || file != shownName(file_));
    const std::filesystem::path chosen = named ? checkedPath(file, "scene") : file_;
    const bool openFile = !named || isOpenFile(chosen);
    const std::filesystem::path target = openFile ? file_ : chosen;
    if (const std::string tooLong = standin::NameLengthRefusal(target); !tooLong.empty()) {
        throw BadValue("not saved: " + tooLong);
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
    return changed();
}

std::optional<std::vector<std::uint8_t>> StudioState::render(Picture picture,
                                                             std::uint64_t revision,
                                                             PictureFormat format) {
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    // No row is skipped unless a change waits, and that change cannot go
    // ahead before this render lets go: so a stop now means rows were lost.
    const auto stop = [this] { return waitingChanges_.load(std::memory_order_relaxed) > 0; };
    for (;;) {
        if (revision != revision_) return std::nullopt;
        CachedPicture& cached = pictures_[picture];
        if (cached.revision != revision_ || cached.pixels.empty()) {
            const Image image = renderPicture(picture, stop);
            if (stop()) {
                // The change that stopped it goes first; one that leaves
                // the picture as it was (a save) does not supersede it.
                lock.unlock();
                while (stop()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                lock.lock();
                continue;
            }
            cached.revision = revision_;
            cached.width = image.width();
            cached.height = image.height();
            cached.pixels = encodePixels(image, PngEncoding{8, true, options_.threads});
        }
        if (format == PictureFormat::Pixels) return cached.pixels;
        return standin::EncodePngRgba(cached.width, cached.height, 8, true, cached.pixels);
    }
}

Image StudioState::renderPicture(Picture picture,
                                                const std::function<bool()>& stop) {
    if (picture == Picture::Viewport) {
        return renderViewport(*map_, kEditTime, options_.viewportSize);
    }
    if (picture != Picture::Chart) {
        const int size =
            picture == Picture::Swatch ? options_.swatchSize : draftSize(options_.swatchSize);
        return renderSwatch(*map_, kEditTime, {size, size, options_.threads, false, stop});
    }
    // The chart sets the thickness range and plugs in its own gradient,
    // so it draws a copy of the map.
    standin::CloneOnceRemapDir remap;
    standin::Scene holder;
    auto* copy = static_cast<Texmap*>(remap.CloneRef(map_));
    if (copy == nullptr || !holder.Add(copy)) throw Failure("the map could not be copied");
    ChartOptions options;
    options.width = options_.chartWidth;
    options.height = options_.chartHeight;
    options.threads = options_.threads;
    options.stop = stop;
    return renderChart(*copy, kEditTime, options);
}

}  // namespace nacrelle::tools::studio
