#include "app/session/host_session.h"

#include <imtl.h>
#include <iparamb2.h>
#include <modules/module_loader.h>
#include <modules/resources.h>
#include <platform/command_line.h>
#include <scene/scene.h>
#include <scene/scene_file.h>
#include <sdk/class_directory.h>
#include <sdk/render_evaluation.h>

#include <system_error>

#include "common/errors.h"
#include "app/session/scene_ranges.h"

namespace nacrelle::tools {

namespace {

constexpr const char* kModuleFileName = "Nacrelle.dlt";
constexpr const char* kModuleVariable = "NACRELLE_PLUGIN";

}  // namespace

void openThroughHost(const std::filesystem::path& file) {
    ShellExecuteW(nullptr, nullptr, WStr::FromUTF8(standin::PathToUtf8(file)).data(), nullptr,
                  nullptr, SW_SHOW);
}

bool blocksWereReadDuringEvaluation() { return !standin::EvaluationViolations().empty(); }

std::filesystem::path findModule(const std::filesystem::path& explicitPath) {
    if (!explicitPath.empty()) return explicitPath;
    if (const std::optional<std::string> fromEnvironment =
            standin::EnvironmentVariable(kModuleVariable);
        fromEnvironment && !fromEnvironment->empty()) {
        return standin::PathFromUtf8(*fromEnvironment);
    }
    return standin::RunningProgram().parent_path() / kModuleFileName;
}

std::shared_ptr<const standin::ModuleResources> HostSession::moduleResources() const {
    return module_->Resources();
}

HostSession::HostSession(const std::filesystem::path& modulePath)
    : scene_(std::make_unique<standin::Scene>()) {
    try {
        module_ = std::make_unique<standin::LoadedModule>(modulePath);
    } catch (const standin::ModuleLoadError& error) {
        throw Failure(error.what());
    }
    for (ClassDesc* cd : module_->Classes()) {
        if (cd->SuperClassID() == TEXMAP_CLASS_ID && cd->NumParamBlockDescs() > 0) {
            mapClass_ = static_cast<ClassDesc2*>(cd);
            break;
        }
    }
    if (mapClass_ == nullptr) {
        throw Failure("module \"" + modulePath.string() + "\" offers no texture map");
    }
}

HostSession::~HostSession() { scene_.reset(); }

Texmap& HostSession::createMap() {
    Animatable* object = standin::CreateInstance(mapClass_);
    if (object == nullptr) throw Failure("the module could not create a map");
    auto* map = static_cast<Texmap*>(object);
    scene_->Add(map);
    return *map;
}

Texmap* HostSession::findMap() const {
    for (ReferenceTarget* root : scene_->Roots()) {
        if (root->SuperClassID() == mapClass_->SuperClassID() &&
            root->ClassID() == mapClass_->ClassID()) {
            return static_cast<Texmap*>(root);
        }
    }
    return nullptr;
}

void HostSession::loadScene(const std::filesystem::path& path) {
    try {
        adoptScene(standin::LoadSceneFile(path), path.string());
    } catch (const standin::SceneFileError& error) {
        throw Failure(error.what());
    }
}

void HostSession::adoptScene(std::unique_ptr<standin::Scene> loaded, const std::string& name) {
    scene_ = std::move(loaded);
    if (Texmap* map = findMap()) clampToRanges(*map, name);
}

void HostSession::saveScene(const std::filesystem::path& path,
                            const standin::WritePolicy& policy,
                            std::vector<std::uint8_t>* written) {
    try {
        standin::SaveSceneFile(*scene_, path, standin::OpenFileSink, policy, written);
    } catch (const standin::SceneFileError& error) {
        throw Failure(error.what());
    }
}

}  // namespace nacrelle::tools
