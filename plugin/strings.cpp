#include "plugin/strings.h"

HINSTANCE moduleInstance = nullptr;

namespace {

// Strings are loaded only from the host's interface thread, one at a time,
// so one shared buffer serves every caller.
constexpr int kStringBufferLength = 512;
MCHAR stringBuffer[kStringBufferLength];

}  // namespace

const MCHAR* LoadPluginString(int id) {
    if (moduleInstance == nullptr) return nullptr;
    if (LoadStringW(moduleInstance, static_cast<UINT>(id), stringBuffer, kStringBufferLength) == 0) {
        return nullptr;
    }
    return stringBuffer;
}

MSTR PluginString(int id) {
    const MCHAR* text = LoadPluginString(id);
    return text != nullptr ? MSTR(text) : MSTR();
}
