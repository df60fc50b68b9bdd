// Finding a module's strings and dialogs by ID and language preference.
#include "modules/resources.h"

#include <string>

#include "byte_reader.h"

namespace standin {
namespace {

constexpr std::uint16_t kLanguageNeutral = 0x0000;

std::uint16_t PrimaryLanguage(std::uint16_t languageId) { return languageId & 0x3FF; }

/// Rank of a language in the stand-in's preference order; lower is better.
int LanguageRank(std::uint16_t languageId) {
    if (languageId == kLanguageNeutral) return 0;
    if (languageId == kHostLanguage) return 1;
    if (PrimaryLanguage(languageId) == PrimaryLanguage(kHostLanguage)) return 2;
    return 3;
}

/// Index of the preferred item among `items` for which `matches` holds, or
/// items.size(). Ties go to the earlier item in the image.
template <typename Items, typename Matches, typename LanguageOf>
std::size_t Preferred(const Items& items, Matches&& matches, LanguageOf&& languageOf) {
    std::size_t best = items.size();
    int bestRank = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!matches(items[i])) continue;
        const int rank = LanguageRank(languageOf(items[i]));
        if (best == items.size() || rank < bestRank) {
            best = i;
            bestRank = rank;
        }
    }
    return best;
}

std::string Describe(const ResourceEntry& entry) {
    return entry.name.Describe() + " (language " + detail::Hex(entry.languageId, 4) + ")";
}

}  // namespace

ModuleResources::ModuleResources(std::span<const std::uint8_t> image)
    : entries_(ParseResourceImage(image)) {
    const auto stringType = NameOrOrdinal::Ordinal(kResourceTypeString);
    const auto dialogType = NameOrOrdinal::Ordinal(kResourceTypeDialog);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const ResourceEntry& entry = entries_[i];
        if (entry.type == stringType) {
            if (!entry.name.isOrdinal) {
                detail::ByteReader(entry.data, entry.headerOffset,
                                   "string block " + Describe(entry))
                    .FailAt(0, "string blocks must be named by number, not by text");
            }
            stringBlocks_.push_back(
                {i, ParseStringBlock(entry.data, entry.name.ordinal, entry.dataOffset)});
        } else if (entry.type == dialogType) {
            dialogs_.push_back({i, ParseDialogTemplate(entry.data, entry.dataOffset,
                                                       "dialog " + Describe(entry))});
        }
    }
}

const ResourceEntry* ModuleResources::Find(const NameOrOrdinal& type, const NameOrOrdinal& name,
                                           std::uint16_t languageId) const {
    for (const auto& entry : entries_) {
        if (entry.type == type && entry.name == name && entry.languageId == languageId) {
            return &entry;
        }
    }
    return nullptr;
}

const ResourceEntry* ModuleResources::Find(const NameOrOrdinal& type,
                                           const NameOrOrdinal& name) const {
    const std::size_t best = Preferred(
        entries_, [&](const ResourceEntry& e) { return e.type == type && e.name == name; },
        [](const ResourceEntry& e) { return e.languageId; });
    return best < entries_.size() ? &entries_[best] : nullptr;
}

std::optional<std::u16string_view> ModuleResources::FindString(std::uint32_t id) const {
    if (id > kLargestStringId) return std::nullopt;
    const auto stringId = static_cast<std::uint16_t>(id);
    const std::uint16_t blockId = StringBlockId(stringId);
    const std::size_t best = Preferred(
        stringBlocks_,
        [&](const StringBlock& block) { return entries_[block.entry].name.ordinal == blockId; },
        [&](const StringBlock& block) { return entries_[block.entry].languageId; });
    if (best == stringBlocks_.size()) return std::nullopt;
    const std::u16string& text = stringBlocks_[best].texts[StringIndexInBlock(stringId)];
    if (text.empty()) return std::nullopt;
    return std::u16string_view(text);
}

const DialogTemplate* ModuleResources::FindDialog(const NameOrOrdinal& name) const {
    const std::size_t best = Preferred(
        dialogs_, [&](const Dialog& d) { return entries_[d.entry].name == name; },
        [&](const Dialog& d) { return entries_[d.entry].languageId; });
    return best < dialogs_.size() ? &dialogs_[best].dialog : nullptr;
}

ModuleResources ParseModuleResources(std::span<const std::uint8_t> image) {
    return ModuleResources(image);
}

}  // namespace standin
