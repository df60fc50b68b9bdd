// Scene files: refused with the file and an offset, or loaded into a scene
// that renders and saves again unchanged.
#include <imtl.h>
#include <scene/scene_file.h>

#include <string>
#include <vector>

#include "fuzz/inputs/evaluation_probe.h"
#include "fuzz/inputs/input_checks.h"
#include "fuzz/inputs/module_session.h"

namespace nacrelle::fuzzing {
namespace {

constexpr const char* kInputName = "input.ncs";

Finding CheckRefusal(const standin::SceneFileError& error, std::size_t size) {
    if (error.File() != kInputName) {
        return "refusal names the file \"" + error.File() + "\": " + error.what();
    }
    if (!error.Offset()) return std::string("refusal without a byte offset: ") + error.what();
    if (*error.Offset() > size) {
        return "refusal at byte " + std::to_string(*error.Offset()) + " of a " +
               std::to_string(size) + "-byte file: " + error.what();
    }
    if (error.Problem().empty()) return std::string("refusal without a reason: ") + error.what();
    return {};
}

Finding CheckRoots(standin::Scene& scene) {
    for (ReferenceTarget* root : scene.Roots()) {
        if (root->SuperClassID() != TEXMAP_CLASS_ID) continue;
        // Values from the file may push an output filter past 1, never to NaN.
        const std::string bad = ProbeEvaluation(*static_cast<Texmap*>(root), 0, false);
        if (!bad.empty()) return "a loaded map: " + bad;
    }
    return {};
}

}  // namespace

Finding CheckSceneBytes(std::span<const std::uint8_t> bytes) {
    ModuleSession();  // its classes must be registered for the file's maps
    std::unique_ptr<standin::Scene> scene;
    try {
        scene = standin::ReadSceneBytes(bytes, kInputName);
    } catch (const standin::SceneFileError& error) {
        return CheckRefusal(error, bytes.size());
    }
    if (Finding bad = CheckRoots(*scene); !bad.empty()) return bad;

    // What loads must save: a user who opened a file can always save it again.
    std::vector<std::uint8_t> saved;
    try {
        saved = standin::WriteSceneBytes(*scene, "resaved.ncs");
    } catch (const standin::SceneFileError& error) {
        return std::string("a scene that loaded cannot be saved: ") + error.what();
    }
    std::unique_ptr<standin::Scene> reloaded;
    try {
        reloaded = standin::ReadSceneBytes(saved, "resaved.ncs");
    } catch (const standin::SceneFileError& error) {
        return std::string("a saved scene does not load: ") + error.what();
    }
    const std::vector<std::uint8_t> again = standin::WriteSceneBytes(*reloaded, "again.ncs");
    if (again != saved) {
        return "saving a scene, loading it and saving it again changes the file (" +
               std::to_string(saved.size()) + " then " + std::to_string(again.size()) + " bytes)";
    }
    return {};
}

}  // namespace nacrelle::fuzzing
