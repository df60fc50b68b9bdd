// The program's host: the loaded module, its map class and the current
// scene. Maps are created through the class directory, as the real host does.
#pragma once

#include <platform/atomic_file.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/session/host_types.h"

namespace standin {
class LoadedModule;
class ModuleResources;
class Scene;
}  // namespace standin

namespace nacrelle::tools {

/// Asks the host's shell to open `file`, as a plug-in's button asks it
/// (ShellExecuteW): in the browser, for a page.
void openThroughHost(const std::filesystem::path& file);

/// Whether the module has read a parameter block while a render was
/// evaluating maps, since the program started: the host names each such read
/// on standard error as it happens.
bool blocksWereReadDuringEvaluation();

/// Where the module is: `explicitPath` when given, else $NACRELLE_PLUGIN,
/// else Nacrelle.dlt next to the running program.
std::filesystem::path findModule(const std::filesystem::path& explicitPath);

class HostSession {
public:
    /// Loads the module; a Failure names the file and the reason when it
    /// cannot be loaded or offers no texture map.
    explicit HostSession(const std::filesystem::path& modulePath);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    const standin::LoadedModule& module() const { return *module_; }
    /// The module's resources: its strings and dialog templates.
    std::shared_ptr<const standin::ModuleResources> moduleResources() const;
    /// The module's texture-map class.
    ClassDesc2& mapClass() const { return *mapClass_; }

    /// A new map at its defaults, added to the scene.
    Texmap& createMap();
    /// The first map of the module's class in the scene, or null.
    Texmap* findMap() const;

    standin::Scene& scene() { return *scene_; }
    /// Replaces the scene with the one in `path`; on failure (a Failure with
    /// the file, the offset and the problem) the current scene stays.
    void loadScene(const std::filesystem::path& path);
    /// Replaces the scene with `loaded`, read from the file `name`: values
    /// outside their ranges are clamped, as loadScene does.
    void adoptScene(std::unique_ptr<standin::Scene> loaded, const std::string& name);
    /// Saves the scene to `path`, replacing it only once complete and as
    /// `policy` allows; `written`, when given, receives the bytes saved.
    void saveScene(const std::filesystem::path& path, const standin::WritePolicy& policy = {},
                   std::vector<std::uint8_t>* written = nullptr);

private:
    std::unique_ptr<standin::LoadedModule> module_;
    ClassDesc2* mapClass_ = nullptr;
    // Destroyed before the module: its objects' code lives there.
    std::unique_ptr<standin::Scene> scene_;
};

}  // namespace nacrelle::tools
