#include "studio/studio_state.h"

#include <platform/shell.h>

#include <chrono>
#include <thread>

#include "app/document/document.h"
#include "app/presets/presets.h"
#include "app/render/image.h"
#include "app/session/host_session.h"
#include "common/errors.h"

namespace nacrelle::tools::studio {

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
    : sizes_{options.swatchSize, options.viewportSize, options.chartWidth, options.chartHeight,
             options.threads} {
    shell_ = std::make_unique<standin::ScopedShellHandler>(
        [this](std::string address) { opened_.push_back(std::move(address)); });
    // The icon: the map at its defaults, drawn before any scene is read.
    icon_ = defaultSwatchPng(session, 32, options.threads);
    document_ = std::make_unique<Document>(session, options.sceneFile, options.fileRoot);
}

StudioState::~StudioState() {
    document_.reset();
    shell_.reset();
}

nlohmann::json StudioState::describeLocked() const {
    nlohmann::json state = document_->describe();
    const int draft = draftSwatchSize(sizes_.swatch);
    state["revision"] = revision_;
    state["document"] = documentEdition_;
    state["serial"] = serial_;
    state["swatch"] = {sizes_.swatch, sizes_.swatch};
    state["draftSwatch"] = {draft, draft};
    state["viewport"] = {sizes_.viewport, sizes_.viewport};
    state["chart"] = {sizes_.chartWidth, sizes_.chartHeight};
    return state;
}

nlohmann::json StudioState::describe() {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return describeLocked();
}

void StudioState::onChange(std::function<void(const std::string&)> listener) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    listener_ = std::move(listener);
}

nlohmann::json StudioState::atRevision(const Expected& expected,
                                       const std::function<nlohmann::json()>& change,
                                       bool keepsPictures) {
    ChangeScope scope(*this, !keepsPictures);
    if (expected.document && *expected.document != documentEdition_) {
        throw Conflict(std::string("not done: ") + documentChange_ +
                           " (in this tab or another) after this edit began; the tab now "
                           "shows the scene as it is",
                       "stale");
    }
    if (expected.revision && *expected.revision != revision_) {
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

nlohmann::json StudioState::changedPictures() {
    ++revision_;
    return changed();
}

nlohmann::json StudioState::changedDocument(const char* what) {
    ++documentEdition_;
    documentChange_ = what;
    return changedPictures();
}

nlohmann::json StudioState::panelInput(int panel, int id, const std::string& action,
                                       const std::string& text, int steps,
                                       std::uint64_t gesture, int item) {
    ChangeScope scope(*this);
    if (gesture != 0 && gesture == lastGesture_ && lastGestureEdition_ != documentEdition_) {
        throw Conflict(std::string("not done: ") + documentChange_ +
                           " (in this tab or another) while this drag went on; the tab now "
                           "shows the scene as it is",
                       "stale");
    }
    if (gesture != 0 && gesture != lastGesture_) {
        lastGesture_ = gesture;
        lastGestureEdition_ = documentEdition_;
    }
    const PanelInput input{action, text, steps, item};
    // A value typed again changes nothing: no step, no new pictures.
    return document_->panelInput(panel, id, input, gesture) ? changedPictures() : changed();
}

nlohmann::json StudioState::undo() {
    ChangeScope scope(*this);
    document_->undo();
    return changedDocument("a step was undone");
}

nlohmann::json StudioState::redo() {
    ChangeScope scope(*this);
    document_->redo();
    return changedDocument("a step was redone");
}

nlohmann::json StudioState::resetParameter(int panel, int id) {
    ChangeScope scope(*this);
    document_->resetParameter(panel, id);
    return changedPictures();
}

nlohmann::json StudioState::resetAll() {
    ChangeScope scope(*this);
    document_->resetAll();
    return changedPictures();
}

nlohmann::json StudioState::presets() {
    nlohmann::json list = nlohmann::json::array();
    // The same objects as `nacrelle presets --json` prints (their keys sorted).
    for (const Preset& preset : allPresets()) list.push_back(nlohmann::json::parse(presetJson(preset).dump()));
    return list;
}

nlohmann::json StudioState::applyPreset(const std::string& name) {
    ChangeScope scope(*this);
    document_->applyPreset(name);
    return changedPictures();
}

nlohmann::json StudioState::setThicknessMap(const std::string& kind, const std::string& file) {
    ChangeScope scope(*this);
    document_->setThicknessMap(kind, file);
    return changedPictures();
}

nlohmann::json StudioState::newScene() {
    ChangeScope scope(*this);
    document_->newScene();
    return changedDocument("a new scene was begun");
}

nlohmann::json StudioState::openScene(const std::string& file) {
    ChangeScope scope(*this);
    document_->open(file);
    return changedDocument("another scene was opened");
}

nlohmann::json StudioState::reloadScene() {
    ChangeScope scope(*this);
    document_->reload();
    return changedDocument("the scene file was read again");
}

nlohmann::json StudioState::saveScene(const std::string& file, bool replace, bool anyway) {
    ChangeScope scope(*this, false);
    document_->save(file, replace, anyway);
    return changed();
}

std::optional<std::vector<std::uint8_t>> StudioState::render(Picture picture,
                                                             std::uint64_t revision,
                                                             PictureFormat format,
                                                             PictureSize size) {
    PictureSizes sizes = sizes_;
    if (size.width > 0) {
        sizes.swatch = sizes.viewport = sizes.chartWidth = size.width;
        sizes.chartHeight = size.height > 0 ? size.height : sizes_.chartHeight;
        sizes.chartScale = size.scale;
    }
    const auto key = std::make_tuple(picture, sizes.swatch, sizes.chartHeight, sizes.chartScale);
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    // No row is skipped unless a change waits, and that change cannot go
    // ahead before this render lets go: so a stop now means rows were lost.
    const auto stop = [this] { return waitingChanges_.load(std::memory_order_relaxed) > 0; };
    for (;;) {
        if (revision != revision_) return std::nullopt;
        // Pictures of older revisions are of no more use.
        std::erase_if(pictures_,
                      [this](const auto& entry) { return entry.second.revision != revision_; });
        CachedPicture& cached = pictures_[key];
        if (cached.revision != revision_ || cached.pixels.empty()) {
            const Image image = renderPicture(document_->map(), picture, sizes, stop);
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
            cached.pixels = encodePixels(image, PngEncoding{8, true, sizes_.threads});
        }
        if (format == PictureFormat::Pixels) return cached.pixels;
        return pixelsToPng(cached.width, cached.height, cached.pixels);
    }
}

}  // namespace nacrelle::tools::studio
