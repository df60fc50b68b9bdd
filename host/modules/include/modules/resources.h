// The compiled resources of one module, parsed once when the module loads:
// every entry of its .res image, its string tables and its dialog templates.
// LoadStringW and the panel builder read from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "modules/dialog_template.h"
#include "modules/resource_image.h"
#include "modules/string_table.h"

namespace standin {

/// The stand-in host's user-interface language, US English. Where a resource
/// exists in several languages, the stand-in takes the language-neutral one
/// (0), then this one, then another of the same primary language (English),
/// then the first in the image, a simplification of Windows' search order.
inline constexpr std::uint16_t kHostLanguage = 0x0409;

class ModuleResources {
public:
    /// No resources at all (a module without a resource image).
    ModuleResources() = default;

    /// Parses a .res image completely: entries, every string block and every
    /// dialog template. Throws ResourceFormatError naming the first fault and
    /// its byte offset. Resources of other types are kept but not interpreted.
    explicit ModuleResources(std::span<const std::uint8_t> image);

    /// Every entry, in image order.
    const std::vector<ResourceEntry>& Entries() const { return entries_; }

    /// The entry with exactly this type, name and language, or null.
    const ResourceEntry* Find(const NameOrOrdinal& type, const NameOrOrdinal& name,
                              std::uint16_t languageId) const;
    /// The entry with this type and name in the language the stand-in prefers
    /// (see kHostLanguage), or null.
    const ResourceEntry* Find(const NameOrOrdinal& type, const NameOrOrdinal& name) const;

    /// String `id` (UTF-16, without terminator) from the preferred language's
    /// block, or nothing when there is no such string (IDs above 0xFFFF
    /// included). The view lives as long as this object.
    std::optional<std::u16string_view> FindString(std::uint32_t id) const;

    /// Dialog template `name` in the preferred language, or null.
    const DialogTemplate* FindDialog(const NameOrOrdinal& name) const;
    const DialogTemplate* FindDialog(std::uint16_t id) const {
        return FindDialog(NameOrOrdinal::Ordinal(id));
    }

private:
    struct StringBlock {
        std::size_t entry;  // index into entries_
        StringBlockTexts texts;
    };
    struct Dialog {
        std::size_t entry;
        DialogTemplate dialog;
    };

    std::vector<ResourceEntry> entries_;
    std::vector<StringBlock> stringBlocks_;
    std::vector<Dialog> dialogs_;
};

/// Parses `image` as ModuleResources does; the single entry point for
/// untrusted resource bytes (and for fuzzing).
ModuleResources ParseModuleResources(std::span<const std::uint8_t> image);

}  // namespace standin
