// An instance's string resources, read from the host's parsed copy into a
// caller's buffer as LoadStringW reads them.
#include <algorithm>
#include <optional>
#include <string>

#include "instance_table.h"
#include "modules/instance.h"
#include "platform/utf16.h"

namespace standin::detail {

int CopyParsedString(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) return 0;
    try {
        const auto resources = InstanceResources(instance);
        const auto text = resources ? resources->FindString(id) : std::nullopt;
        if (!text) {
            buffer[0] = L'\0';
            return 0;
        }
        const std::wstring wide = Utf16ToWide(*text);
        const std::size_t count = std::min(wide.size(), static_cast<std::size_t>(capacity) - 1);
        std::copy_n(wide.data(), count, buffer);
        buffer[count] = L'\0';
        return static_cast<int>(count);
    } catch (...) {
        // Only allocation can fail here; report the string as not loaded.
        buffer[0] = L'\0';
        return 0;
    }
}

}  // namespace standin::detail
