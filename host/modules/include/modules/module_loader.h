// Loading plug-in modules by file name, the way the real host does: open the
// library, attach it (DllMain with its instance handle), check the host
// version it was built for, read its class descriptors, initialise it and
// register its classes; unloading undoes that in reverse. A file that cannot
// serve as a module is refused with a ModuleLoadError naming the file and the
// reason, and leaves nothing behind.
#pragma once

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "modules/resources.h"
#include "win_shim.h"

class ClassDesc;

namespace standin {

/// A module file the host refused, and why.
class ModuleLoadError : public std::runtime_error {
public:
    ModuleLoadError(std::filesystem::path file, std::string reason);
    const std::filesystem::path& File() const noexcept { return file_; }
    /// The reason alone; what() reads `cannot load module "<file>": <reason>`.
    const std::string& Reason() const noexcept { return reason_; }

private:
    std::filesystem::path file_;
    std::string reason_;
};

/// One loaded and initialised module whose classes are registered with the
/// class directory. Destruction (or Unload) unregisters the classes, calls
/// LibShutdown, DllMain with DLL_PROCESS_DETACH, and closes the library.
class LoadedModule {
public:
    /// Loads `file`. Throws ModuleLoadError when the file is missing, is no
    /// module (empty, text, truncated, another architecture), lacks one of the
    /// entry points (DllMain and the six Lib* functions), carries malformed
    /// resources, refuses the attach, was built for another host version,
    /// declares no classes or a null class descriptor, has a class with a
    /// malformed parameter block definition, fails LibInitialize, has a class
    /// the directory refuses, throws from an entry point, or is already loaded.
    explicit LoadedModule(const std::filesystem::path& file);
    ~LoadedModule();
    LoadedModule(LoadedModule&& other) noexcept;
    LoadedModule& operator=(LoadedModule&& other) noexcept;
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    /// Unloads now (nothing when already unloaded). Returns the problems met
    /// on the way (an entry point that threw); the unloading always completes.
    std::vector<std::string> Unload() noexcept;

    bool IsLoaded() const { return state_ != nullptr; }
    /// The file as given to the constructor.
    const std::filesystem::path& File() const;
    /// The handle DllMain received; null once unloaded.
    HINSTANCE Instance() const;
    /// LibVersion's answer.
    ULONG Version() const;
    /// LibDescription's text, copied at load (the module may reuse its buffer).
    const std::wstring& Description() const;
    /// The module's class descriptors, in LibClassDesc order.
    const std::vector<ClassDesc*>& Classes() const;
    /// The module's parsed resources (empty when it embeds none).
    std::shared_ptr<const ModuleResources> Resources() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

/// The modules the host has loaded. Destruction unloads them, the last loaded first.
class ModuleLoader {
public:
    ModuleLoader() = default;
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    /// Loads `file` and keeps it. Throws ModuleLoadError (see LoadedModule).
    LoadedModule& Load(const std::filesystem::path& file);
    /// As Load, but reports a refusal as null with the message in `error`.
    LoadedModule* TryLoad(const std::filesystem::path& file, std::string& error);

    /// Unloads the module loaded from `file`; false when there is none.
    bool Unload(const std::filesystem::path& file);
    /// Unloads every module, the last loaded first.
    void UnloadAll();

    /// The module loaded from `file` (the same file by any path), or null.
    LoadedModule* Find(const std::filesystem::path& file);
    /// The loaded modules, in load order.
    const std::vector<std::unique_ptr<LoadedModule>>& Modules() const { return modules_; }

private:
    std::vector<std::unique_ptr<LoadedModule>> modules_;
};

}  // namespace standin
