// The plug-in module over a long session: loaded and unloaded a thousand
// times in one process without a leak (LeakSanitizer checks at exit in the
// asan preset; the heap in use is compared elsewhere) or a mapping left
// behind; and module files that are cut short, empty or built for another
// architecture are refused with the file and the reason, leaving nothing.
#include <gtest/gtest.h>
#include <imtl.h>
#include <standin/class_directory.h>
#include <standin/instance.h>
#include <standin/lifecycle_log.h>
#include <standin/module_loader.h>
#include <standin/scene.h>
#include <standin/shade_context.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/reliability/reliability_support.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define NACRELLE_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define NACRELLE_SANITIZED 1
#endif
#ifndef NACRELLE_SANITIZED
#include <malloc.h>
#endif

namespace nacrelle::reliability {
namespace {

/// Lines of /proc/self/maps that map `file`.
int MappingsOf(const std::filesystem::path& file) {
    std::ifstream maps("/proc/self/maps");
    const std::string name = std::filesystem::weakly_canonical(file).string();
    int count = 0;
    for (std::string line; std::getline(maps, line);) {
        if (line.size() >= name.size() &&
            line.compare(line.size() - name.size(), name.size(), name) == 0) {
            ++count;
        }
    }
    return count;
}

bool ClassRegistered(const std::string& moduleFile) {
    for (const standin::ClassEntry& entry : standin::ClassDirectory::Instance().Classes()) {
        if (entry.moduleFile == moduleFile) return true;
    }
    return false;
}

/// One round of a session: load, make a map with a thickness map, render a
/// sample, free the map, unload.
void UseModuleOnce(const std::filesystem::path& file) {
    standin::LoadedModule module(file);
    ASSERT_GT(MappingsOf(file), 0);
    {
        standin::Scene scene;
        auto* map = static_cast<Texmap*>(standin::CreateInstance(module.Classes()[0]));
        ASSERT_NE(map, nullptr);
        scene.Add(map);
        PlugThicknessMap(*map, "noise");
        Interval valid = FOREVER;
        map->Update(0, valid);
        standin::RenderShadeContext sc;
        sc.SetSample(Point3(0.0f, 0.6f, 0.8f), Point3(0.0f, 0.0f, -1.0f), Point3(1.0f, 2.0f, 3.0f),
                     Point3());
        const AColor c = map->EvalColor(sc);
        ASSERT_TRUE(c.r >= 0.0f && c.r <= 1.0f);
    }
    EXPECT_TRUE(module.Unload().empty());
    // The host's record of destructions keeps every event on purpose (tests
    // read it); emptied here so that only real leftovers count.
    standin::LifecycleLog::Clear();
}

#ifndef NACRELLE_SANITIZED
std::size_t HeapInUse() { return mallinfo2().uordblks; }
#endif

TEST(ModuleLifecycle, LoadsAndUnloadsAThousandTimesWithoutLeavingAnythingBehind) {
    const std::filesystem::path file = ModulePath();
    const std::size_t instances = standin::LiveInstanceCount();
    // Warm-up: the host's own lazily built state is made once, not per load.
    for (int i = 0; i < 10; ++i) UseModuleOnce(file);
#ifndef NACRELLE_SANITIZED
    const std::size_t heap = HeapInUse();
#endif
    for (int i = 0; i < 1000 && !HasFailure(); ++i) UseModuleOnce(file);

    EXPECT_EQ(MappingsOf(file), 0) << "the module's code is still mapped";
    EXPECT_EQ(standin::LiveInstanceCount(), instances);
    EXPECT_FALSE(ClassRegistered(file.string()));
#ifndef NACRELLE_SANITIZED
    // A leak of even 16 bytes a round would show as 16 KB.
    EXPECT_LT(HeapInUse(), heap + 8 * 1024) << "heap in use grew over 1000 rounds";
#endif
}

// ---- Files that are no module for this host ---------------------------------

std::vector<std::uint8_t> ModuleBytes() { return ReadBytes(ModulePath()); }

std::uint64_t Le(const std::vector<std::uint8_t>& bytes, std::size_t at, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes.at(at + i);
    return value;
}

/// Sizes at which to cut the module: inside the ELF header, at the ends of
/// the program headers, of every segment and of the section headers, and
/// one byte short of the whole file.
std::vector<std::size_t> CutPoints(const std::vector<std::uint8_t>& elf) {
    std::vector<std::size_t> cuts = {1, 4, 16, 20, 40, 63, 64};
    const std::uint64_t phoff = Le(elf, 32, 8), shoff = Le(elf, 40, 8);
    const std::uint64_t phentsize = Le(elf, 54, 2), phnum = Le(elf, 56, 2);
    const std::uint64_t shentsize = Le(elf, 58, 2), shnum = Le(elf, 60, 2);
    cuts.push_back(phoff + phentsize * phnum - 1);
    for (std::uint64_t i = 0; i < phnum; ++i) {
        const std::size_t entry = phoff + i * phentsize;
        const std::uint64_t offset = Le(elf, entry + 8, 8), filesz = Le(elf, entry + 32, 8);
        if (filesz > 0) cuts.insert(cuts.end(), {offset + filesz / 2, offset + filesz - 1});
    }
    cuts.insert(cuts.end(), {shoff, shoff + shentsize * shnum - 1, elf.size() / 2, elf.size() - 1});
    return cuts;
}

/// `file` must be refused with its name and a reason containing `reason`,
/// registering nothing, keeping no handle and no mapping of it.
void ExpectRefused(const std::filesystem::path& file, const std::string& reason,
                   const std::string& label) {
    const std::size_t instances = standin::LiveInstanceCount();
    try {
        standin::LoadedModule module(file);
        ADD_FAILURE() << label << ": loaded";
    } catch (const standin::ModuleLoadError& e) {
        EXPECT_EQ(e.File(), file) << label;
        EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << label;
        EXPECT_NE(e.Reason().find(reason), std::string::npos)
            << label << ": the reason reads \"" << e.Reason() << "\"";
    }
    EXPECT_EQ(standin::LiveInstanceCount(), instances) << label;
    EXPECT_FALSE(ClassRegistered(file.string())) << label;
    EXPECT_EQ(MappingsOf(file), 0) << label;
}

TEST(ModuleRefusal, TheModuleCutShortAnywhereIsRefusedAsTruncated) {
    const ScratchDir scratch;
    const std::vector<std::uint8_t> bytes = ModuleBytes();
    const std::filesystem::path file = scratch / "Nacrelle.dlt";
    WriteBytes(file, {});
    ExpectRefused(file, "the file is empty", "empty");
    for (std::size_t cut : CutPoints(bytes)) {
        ASSERT_LT(cut, bytes.size());
        const std::filesystem::path part = scratch / ("Nacrelle-" + std::to_string(cut) + ".dlt");
        WriteBytes(part, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + cut));
        // Too short for an ELF identification: not recognisable as a module.
        const std::string reason = cut < 20 ? "not a module" : "truncated module";
        ExpectRefused(part, reason, "cut after " + std::to_string(cut) + " bytes");
    }
    // The host carries on: the whole module loads.
    UseModuleOnce(ModulePath());
}

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

TEST(ModuleRefusal, ModulesOfOtherArchitecturesAndFormatsAreRefused) {
    const ScratchDir scratch;
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"x86-32.dlt", ForeignElf(1, 1, 3, 4096), "another architecture (x86, 32-bit"},
        {"arm32.dlt", ForeignElf(1, 1, 40, 4096), "another architecture (ARM, 32-bit"},
        {"ppc64be.dlt", ForeignElf(2, 2, 21, 4096),
         "another architecture (PowerPC64, 64-bit, big-endian)"},
        {"riscv.dlt", ForeignElf(2, 1, 243, 4096), "another architecture (RISC-V, 64-bit"},
        {"Nacrelle-win64.dlt", WindowsDll(), "not a module"},
    };
    for (const Case& c : cases) {
        const std::filesystem::path file = scratch / c.name;
        WriteBytes(file, c.bytes);
        ExpectRefused(file, c.reason, c.name);
    }
    // The module's own bytes relabelled for another machine.
    std::vector<std::uint8_t> relabelled = ModuleBytes();
    relabelled[18] = 183;  // AArch64
    relabelled[19] = 0;
    WriteBytes(scratch / "aarch64.dlt", relabelled);
    ExpectRefused(scratch / "aarch64.dlt", "another architecture (AArch64", "aarch64");
    UseModuleOnce(ModulePath());
}

}  // namespace
}  // namespace nacrelle::reliability
