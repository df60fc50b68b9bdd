// Module instance handles of the stand-in. On Windows an HINSTANCE is the
// address at which the system mapped the module; here it points to a record
// that the host keeps for each loaded module (its file name and parsed
// resources). Records live in a table, so that the Windows calls can tell a
// live handle from an unknown or stale one and refuse the latter.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "modules/resources.h"
#include "win_shim.h"

namespace standin {

/// Owns one registered instance handle: valid from construction until
/// destruction. The module loader makes one per module; tests can make one
/// for bare resources.
class InstanceHandle {
public:
    /// `nativeModule` is the system's handle of a loaded module: on Windows it
    /// becomes the HINSTANCE itself; elsewhere, and when null, a record of
    /// the stand-in is the handle.
    InstanceHandle(std::string moduleName, std::shared_ptr<const ModuleResources> resources,
                   const void* nativeModule = nullptr);
    ~InstanceHandle();
    InstanceHandle(InstanceHandle&& other) noexcept;
    InstanceHandle& operator=(InstanceHandle&& other) noexcept;
    InstanceHandle(const InstanceHandle&) = delete;
    InstanceHandle& operator=(const InstanceHandle&) = delete;

    /// The handle, as DllMain receives it; null after a move.
    HINSTANCE Get() const { return handle_; }

private:
    void Release() noexcept;

    HINSTANCE handle_ = nullptr;
};

/// The resources of a live instance, or null for an unknown handle.
std::shared_ptr<const ModuleResources> InstanceResources(HINSTANCE instance);

/// The module name the instance was registered with, or empty for an unknown handle.
std::string InstanceModuleName(HINSTANCE instance);

/// The host's own read of string resource `id`, as LoadStringW: from the
/// system for a module it loaded, from the parsed resources for bare
/// resources, which have no module the system knows.
int LoadInstanceString(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity);

/// True once DisableThreadLibraryCalls was called for this live instance.
bool ThreadLibraryCallsDisabled(HINSTANCE instance);

/// Number of live instance handles (for leak checks).
std::size_t LiveInstanceCount();

}  // namespace standin
