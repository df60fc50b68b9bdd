// Compiled resources: refused at an offset inside the image, or parsed into
// string tables and dialog templates that the host's Windows calls can read.
#include <modules/instance.h>
#include <modules/resources.h>
#include <modules/string_table.h>
#include <win_shim.h>

#include <array>
#include <memory>
#include <string>

#include "fuzz/inputs/input_checks.h"

namespace nacrelle::fuzzing {
namespace {

// Buffer sizes LoadStringW is asked with: room for nothing but the
// terminator, for a little, and the plug-in's own 512.
constexpr std::array<int, 3> kBufferSizes = {1, 5, 512};
constexpr wchar_t kUntouched = L'\x7F7F';

Finding CheckStringLoads(HINSTANCE instance, const standin::ModuleResources& resources,
                         std::uint32_t id) {
    const auto text = resources.FindString(id);
    for (int size : kBufferSizes) {
        // One guard character past the size LoadStringW is told.
        std::array<wchar_t, 513> buffer;
        buffer.fill(kUntouched);
        const int copied = LoadStringW(instance, id, buffer.data(), size);
        const std::string where =
            "LoadStringW(" + std::to_string(id) + ", buffer of " + std::to_string(size) + ")";
        if (copied < 0 || copied > size - 1) {
            return where + " copied " + std::to_string(copied) + " characters";
        }
        if (buffer[static_cast<std::size_t>(size)] != kUntouched) {
            return where + " wrote past the end of the buffer";
        }
        if (!text && copied != 0) return where + " found a string the table does not hold";
        if (copied > 0 && buffer[static_cast<std::size_t>(copied)] != L'\0') {
            return where + " left the text unterminated";
        }
    }
    return {};
}

}  // namespace

Finding CheckResourceImage(std::span<const std::uint8_t> bytes) {
    auto resources = std::make_shared<standin::ModuleResources>();
    try {
        *resources = standin::ParseModuleResources(bytes);
    } catch (const standin::ResourceFormatError& error) {
        if (error.Offset() > bytes.size()) {
            return "refusal at byte " + std::to_string(error.Offset()) + " of a " +
                   std::to_string(bytes.size()) + "-byte image: " + error.what();
        }
        if (std::string(error.what()).empty()) return "refusal without a reason";
        return {};
    }

    for (const standin::ResourceEntry& entry : resources->Entries()) {
        if (entry.headerOffset > bytes.size() || entry.dataOffset > bytes.size() ||
            entry.data.size() > bytes.size() - entry.dataOffset) {
            return "entry " + entry.name.Describe() + " lies outside the image";
        }
        if (entry.type.isOrdinal && entry.type.ordinal == standin::kResourceTypeDialog &&
            !resources->FindDialog(entry.name)) {
            return "dialog " + entry.name.Describe() + " parsed but cannot be found";
        }
    }

    const standin::InstanceHandle instance("input.res", resources);
    for (const standin::ResourceEntry& entry : resources->Entries()) {
        if (!entry.type.isOrdinal || entry.type.ordinal != standin::kResourceTypeString ||
            !entry.name.isOrdinal || entry.name.ordinal == 0) {
            continue;
        }
        const std::uint32_t first = (entry.name.ordinal - 1u) * standin::kStringsPerBlock;
        for (std::uint32_t id = first; id < first + standin::kStringsPerBlock; ++id) {
            if (Finding bad = CheckStringLoads(instance.Get(), *resources, id); !bad.empty()) {
                return bad;
            }
        }
    }
    // IDs that no 16-bit table can hold.
    for (std::uint32_t id : {0x10000u, 0xFFFFFFFFu}) {
        if (Finding bad = CheckStringLoads(instance.Get(), *resources, id); !bad.empty()) {
            return bad;
        }
    }
    return {};
}

}  // namespace nacrelle::fuzzing
