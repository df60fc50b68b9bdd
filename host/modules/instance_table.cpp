#include "modules/instance.h"

#include <mutex>
#include <unordered_set>
#include <utility>

#include "instance_table.h"

// What an HINSTANCE points to in the stand-in.
struct HINSTANCE__ {
    std::string moduleName;
    std::shared_ptr<const standin::ModuleResources> resources;
    bool threadLibraryCallsDisabled = false;
};

namespace standin {
namespace {

struct InstanceTable {
    std::mutex mutex;
    std::unordered_set<const HINSTANCE__*> live;
};

InstanceTable& Table() {
    // Never destroyed: modules may be unloaded from other static destructors.
    static auto* table = new InstanceTable;
    return *table;
}

/// The record of a live handle, or null. Call with the table locked.
HINSTANCE__* Live(InstanceTable& table, HINSTANCE instance) {
    return table.live.count(instance) ? instance : nullptr;
}

}  // namespace

InstanceHandle::InstanceHandle(std::string moduleName,
                               std::shared_ptr<const ModuleResources> resources,
                               const void* /*nativeModule*/) {
    if (!resources) resources = std::make_shared<const ModuleResources>();
    auto record = std::make_unique<HINSTANCE__>();
    record->moduleName = std::move(moduleName);
    record->resources = std::move(resources);
    InstanceTable& table = Table();
    const std::lock_guard lock(table.mutex);
    table.live.insert(record.get());
    handle_ = record.release();
}

void InstanceHandle::Release() noexcept {
    if (!handle_) return;
    InstanceTable& table = Table();
    {
        const std::lock_guard lock(table.mutex);
        table.live.erase(handle_);
    }
    delete handle_;
    handle_ = nullptr;
}

std::shared_ptr<const ModuleResources> InstanceResources(HINSTANCE instance) {
    InstanceTable& table = Table();
    const std::lock_guard lock(table.mutex);
    const HINSTANCE__* record = Live(table, instance);
    return record ? record->resources : nullptr;
}

int LoadInstanceString(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity) {
    // Every instance is the stand-in's own here.
    return detail::CopyParsedString(instance, id, buffer, capacity);
}

std::string InstanceModuleName(HINSTANCE instance) {
    InstanceTable& table = Table();
    const std::lock_guard lock(table.mutex);
    const HINSTANCE__* record = Live(table, instance);
    return record ? record->moduleName : std::string();
}

bool ThreadLibraryCallsDisabled(HINSTANCE instance) {
    InstanceTable& table = Table();
    const std::lock_guard lock(table.mutex);
    const HINSTANCE__* record = Live(table, instance);
    return record && record->threadLibraryCallsDisabled;
}

std::size_t LiveInstanceCount() {
    InstanceTable& table = Table();
    const std::lock_guard lock(table.mutex);
    return table.live.size();
}

namespace detail {

bool MarkThreadLibraryCallsDisabled(HINSTANCE instance) {
    InstanceTable& table = Table();
    const std::lock_guard lock(table.mutex);
    HINSTANCE__* record = Live(table, instance);
    if (record) record->threadLibraryCallsDisabled = true;
    return record != nullptr;
}

}  // namespace detail
}  // namespace standin
