// The module tests' platform on Windows: the loader's module list, the C
// runtime's heap and the PE headers.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <malloc.h>
#include <windows.h>

#include <cstring>

#include "tests/reliability/module_platform.h"

namespace nacrelle::reliability {
namespace {

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
    bytes.at(at) = static_cast<std::uint8_t>(value & 0xFF);
    bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

std::size_t PeHeaderAt(const std::vector<std::uint8_t>& pe) { return LittleEndian(pe, 0x3C, 4); }

/// A DOS header pointing at a PE header for `machine` with `characteristics`
/// and an optional header starting with `magic`, followed by zeros up to 4 KiB.
std::vector<std::uint8_t> ForeignPe(std::uint16_t machine, std::uint16_t characteristics,
                                    std::uint16_t magic) {
    std::vector<std::uint8_t> bytes(4096, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = 0x80;  // e_lfanew
    std::memcpy(bytes.data() + 0x80, "PE\0\0", 4);
    Put16(bytes, 0x84, machine);
    Put16(bytes, 0x84 + 16, 0xF0);  // size of the optional header
    Put16(bytes, 0x84 + 18, characteristics);
    Put16(bytes, 0x98, magic);
    return bytes;
}

/// The start of an x86-64 shared object for ELF systems.
std::vector<std::uint8_t> LinuxModule() {
    std::vector<std::uint8_t> bytes(4096, 0);
    const std::uint8_t ident[] = {0x7F, 'E', 'L', 'F', 2, 1, 1};
    std::memcpy(bytes.data(), ident, sizeof ident);
    Put16(bytes, 16, 3);   // e_type: shared object
    Put16(bytes, 18, 62);  // e_machine: x86-64
    return bytes;
}

}  // namespace

bool ModuleStillMapped(const std::filesystem::path& file) {
    return GetModuleHandleW(std::filesystem::absolute(file).wstring().c_str()) != nullptr;
}

std::optional<std::size_t> HeapInUse() {
    _HEAPINFO entry{};
    std::size_t used = 0;
    int status;
    while ((status = _heapwalk(&entry)) == _HEAPOK) {
        if (entry._useflag == _USEDENTRY) used += entry._size;
    }
    if (status != _HEAPEND) return std::nullopt;
    return used;
}

std::vector<std::size_t> CutPoints(const std::vector<std::uint8_t>& pe) {
    std::vector<std::size_t> cuts = {1, 2, 32, 63, 64};
    const std::size_t header = PeHeaderAt(pe);
    const std::uint64_t sections = LittleEndian(pe, header + 6, 2);
    const std::uint64_t symbols = LittleEndian(pe, header + 12, 4),
                        symbolCount = LittleEndian(pe, header + 16, 4);
    const std::size_t optional = header + 24;
    const std::size_t table = optional + LittleEndian(pe, header + 20, 2);
    cuts.insert(cuts.end(), {header + 3, header + 23, optional + 1, table + 40 * sections - 1});
    for (std::uint64_t i = 0; i < sections; ++i) {
        const std::size_t entry = table + 40 * i;
        const std::uint64_t size = LittleEndian(pe, entry + 16, 4),
                            offset = LittleEndian(pe, entry + 20, 4);
        if (size > 0) cuts.insert(cuts.end(), {offset + size / 2, offset + size - 1});
    }
    if (symbols != 0) cuts.insert(cuts.end(), {symbols + 18 * symbolCount - 1});
    cuts.insert(cuts.end(), {pe.size() / 2, pe.size() - 1});
    return cuts;
}

// Shorter than a DOS header.
std::size_t ShortestRecognisableCut() { return 64; }

std::vector<ForeignModule> ForeignModules(const std::vector<std::uint8_t>& module) {
    constexpr std::uint16_t kDll = 0x2022, kExecutable = 0x0022;
    std::vector<ForeignModule> modules = {
        {"x86-32.dlt", ForeignPe(0x014C, kDll, 0x10B), "another architecture (x86, 32-bit"},
        {"arm64.dlt", ForeignPe(0xAA64, kDll, 0x20B), "another architecture (AArch64, 64-bit"},
        {"program.dlt", ForeignPe(0x8664, kExecutable, 0x20B), "not a module"},
        {"pe32.dlt", ForeignPe(0x8664, kDll, 0x10B), "not a module"},
        {"Nacrelle-linux.dlt", LinuxModule(), "not a module"},
    };
    std::vector<std::uint8_t> relabelled = module;
    Put16(relabelled, PeHeaderAt(module) + 4, 0xAA64);
    modules.push_back({"aarch64.dlt", relabelled, "another architecture (AArch64"});
    return modules;
}

}  // namespace nacrelle::reliability
