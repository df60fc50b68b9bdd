// Module instance handles on Windows: a loaded module's HINSTANCE is its real
// HMODULE, which the plug-in hands to the system's LoadStringW. The table
// keeps what the host knows of each (file name, parsed resources) by that
// handle. Bare resources without a module (tests, fuzzing) get a handle of
// their own that the system does not know.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <map>
#include <mutex>
#include <utility>

#include "instance_table.h"
#include "modules/instance.h"

namespace standin {
namespace {

struct Record {
    std::string moduleName;
    std::shared_ptr<const ModuleResources> resources;
    bool ownsHandle = false;
};

struct InstanceTable {
    std::mutex mutex;
    std::map<HINSTANCE, Record> live;
};

InstanceTable& Table() {
    // Never destroyed: modules may be unloaded from other static destructors.
    static auto* table = new InstanceTable;
    return *table;
}

}  // namespace

InstanceHandle::InstanceHandle(std::string moduleName,
                               std::shared_ptr<const ModuleResources> resources,
                               const void* nativeModule) {
    if (!resources) resources = std::make_shared<const ModuleResources>();
    Record record{std::move(moduleName), std::move(resources), nativeModule == nullptr};
    // A one-byte allocation gives a unique address for bare resources.
    HINSTANCE handle = nativeModule != nullptr
                           ? static_cast<HINSTANCE>(const_cast<void*>(nativeModule))
                           : reinterpret_cast<HINSTANCE>(new char);
    InstanceTable& table = Table();
    const std::lock_guard lock(table.mutex);
    table.live.insert_or_assign(handle, std::move(record));
    handle_ = handle;
}

void InstanceHandle::Release() noexcept {
    if (!handle_) return;
    bool owned = false;
    {
        InstanceTable& table = Table();
        const std::lock_guard lock(table.mutex);
        const auto it = table.live.find(handle_);
        if (it != table.live.end()) {
            owned = it->second.ownsHandle;
            table.live.erase(it);
        }
    }
    if (owned) delete reinterpret_cast<char*>(handle_);
    handle_ = nullptr;
}

std::shared_ptr<const ModuleResources> InstanceResources(HINSTANCE instance) {
    InstanceTable& table = Table();
    const std::lock_guard lock(table.mutex);
    const auto it = table.live.find(instance);
    return it != table.live.end() ? it->second.resources : nullptr;
}

int LoadInstanceString(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity) {
    bool bare = false;
    {
        InstanceTable& table = Table();
        const std::lock_guard lock(table.mutex);
        const auto it = table.live.find(instance);
        bare = it != table.live.end() && it->second.ownsHandle;
    }
    return bare ? detail::CopyParsedString(instance, id, buffer, capacity)
                : ::LoadStringW(instance, id, buffer, capacity);
}

std::string InstanceModuleName(HINSTANCE instance) {
    InstanceTable& table = Table();
    const std::lock_guard lock(table.mutex);
    const auto it = table.live.find(instance);
    return it != table.live.end() ? it->second.moduleName : std::string();
}

bool ThreadLibraryCallsDisabled(HINSTANCE /*instance*/) {
    // The module calls the system's DisableThreadLibraryCalls, which keeps
    // its answer to itself.
    return false;
}

std::size_t LiveInstanceCount() {
    InstanceTable& table = Table();
    const std::lock_guard lock(table.mutex);
    return table.live.size();
}

}  // namespace standin
