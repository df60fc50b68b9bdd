// The module tests' platform on ELF systems: /proc/self/maps, mallinfo2 and
// the ELF headers.
#include <cstring>
#include <fstream>

#include "tests/reliability/module_platform.h"
#include "tests/reliability/sanitized.h"

#ifndef NACRELLE_SANITIZED
#include <malloc.h>
#endif

namespace nacrelle::reliability {
namespace {

/// An ELF header of the given class, byte order and machine for a shared
/// object, followed by zeros up to `size`.
std::vector<std::uint8_t> ForeignElf(std::uint8_t elfClass, std::uint8_t byteOrder,
                                     std::uint16_t machine, std::size_t size) {
    std::vector<std::uint8_t> bytes(size, 0);
    const std::uint8_t ident[] = {0x7F, 'E', 'L', 'F', elfClass, byteOrder, 1};
    std::memcpy(bytes.data(), ident, sizeof ident);
    const bool little = byteOrder == 1;
    auto put16 = [&](std::size_t at, std::uint16_t v) {
        bytes[at + (little ? 0 : 1)] = static_cast<std::uint8_t>(v & 0xFF);
        bytes[at + (little ? 1 : 0)] = static_cast<std::uint8_t>(v >> 8);
    };
    put16(16, 3);  // e_type: shared object
    put16(18, machine);
    return bytes;
}

/// The start of a 64-bit Windows DLL: DOS stub header pointing at a PE
/// header for x86-64 with the DLL flag.
std::vector<std::uint8_t> WindowsDll() {
    std::vector<std::uint8_t> bytes(1024, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = 0x80;                                      // e_lfanew
    const std::uint8_t pe[] = {'P', 'E', 0, 0, 0x64, 0x86};  // signature, machine AMD64
    std::memcpy(bytes.data() + 0x80, pe, sizeof pe);
    bytes[0x80 + 22] = 0x22;  // characteristics: executable image, large address aware
    bytes[0x80 + 23] = 0x20;  // ... DLL
    return bytes;
}

}  // namespace

bool ModuleStillMapped(const std::filesystem::path& file) {
    std::ifstream maps("/proc/self/maps");
    const std::string name = std::filesystem::weakly_canonical(file).string();
    for (std::string line; std::getline(maps, line);) {
        if (line.size() >= name.size() &&
            line.compare(line.size() - name.size(), name.size(), name) == 0) {
            return true;
        }
    }
    return false;
}

std::optional<std::size_t> HeapInUse() {
#ifdef NACRELLE_SANITIZED
    return std::nullopt;
#else
    return mallinfo2().uordblks;
#endif
}

std::vector<std::size_t> CutPoints(const std::vector<std::uint8_t>& elf) {
    std::vector<std::size_t> cuts = {1, 4, 16, 20, 40, 63, 64};
    const std::uint64_t phoff = LittleEndian(elf, 32, 8), shoff = LittleEndian(elf, 40, 8);
    const std::uint64_t phentsize = LittleEndian(elf, 54, 2), phnum = LittleEndian(elf, 56, 2);
    const std::uint64_t shentsize = LittleEndian(elf, 58, 2), shnum = LittleEndian(elf, 60, 2);
    cuts.push_back(phoff + phentsize * phnum - 1);
    for (std::uint64_t i = 0; i < phnum; ++i) {
        const std::size_t entry = phoff + i * phentsize;
        const std::uint64_t offset = LittleEndian(elf, entry + 8, 8),
                            filesz = LittleEndian(elf, entry + 32, 8);
        if (filesz > 0) cuts.insert(cuts.end(), {offset + filesz / 2, offset + filesz - 1});
    }
    cuts.insert(cuts.end(), {shoff, shoff + shentsize * shnum - 1, elf.size() / 2, elf.size() - 1});
    return cuts;
}

// Too short for an ELF identification.
std::size_t ShortestRecognisableCut() { return 20; }

std::vector<ForeignModule> ForeignModules(const std::vector<std::uint8_t>& module) {
    std::vector<ForeignModule> modules = {
        {"x86-32.dlt", ForeignElf(1, 1, 3, 4096), "another architecture (x86, 32-bit"},
        {"arm32.dlt", ForeignElf(1, 1, 40, 4096), "another architecture (ARM, 32-bit"},
        {"ppc64be.dlt", ForeignElf(2, 2, 21, 4096),
         "another architecture (PowerPC64, 64-bit, big-endian)"},
        {"riscv.dlt", ForeignElf(2, 1, 243, 4096), "another architecture (RISC-V, 64-bit"},
        {"Nacrelle-win64.dlt", WindowsDll(), "not a module"},
    };
    std::vector<std::uint8_t> relabelled = module;
    relabelled[18] = 183;  // e_machine: AArch64
    relabelled[19] = 0;
    modules.push_back({"aarch64.dlt", relabelled, "another architecture (AArch64"});
    return modules;
}

}  // namespace nacrelle::reliability
