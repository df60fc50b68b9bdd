// What the module tests need to know of the platform: whether the system
// still holds a module, the heap in use, where a module file may be cut, and
// module files built for other machines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace nacrelle::reliability {

/// The little-endian number of `size` bytes at `at` in `bytes`.
inline std::uint64_t LittleEndian(const std::vector<std::uint8_t>& bytes, std::size_t at,
                                  int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes.at(at + i);
    return value;
}

/// Whether the process still has `file` mapped or loaded.
bool ModuleStillMapped(const std::filesystem::path& file);

/// Bytes of the C heap in use, where the platform can tell (never under a
/// sanitizer, whose allocator keeps its own books).
std::optional<std::size_t> HeapInUse();

/// Sizes at which to cut a module file: inside its headers, at the ends of
/// the header tables and of every part the system loads, and one byte short
/// of the whole file.
std::vector<std::size_t> CutPoints(const std::vector<std::uint8_t>& module);

/// Cuts shorter than this leave nothing recognisable as a module.
std::size_t ShortestRecognisableCut();

struct ForeignModule {
    std::string name;
    std::vector<std::uint8_t> bytes;
    std::string reason;  // a part of the refusal's reason
};

/// Module files for other machines and of other formats, and `module` with
/// its machine changed to AArch64.
std::vector<ForeignModule> ForeignModules(const std::vector<std::uint8_t>& module);

}  // namespace nacrelle::reliability
