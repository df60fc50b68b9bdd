// The plug-in module over a long session: loaded and unloaded a thousand
// times in one process without a leak (LeakSanitizer checks at exit in the
// asan preset; the heap in use is compared elsewhere) or a mapping left
// behind; and module files that are cut short, empty or built for another
// architecture are refused with the file and the reason, leaving nothing.
#include <gtest/gtest.h>
#include <imtl.h>
#include <sdk/class_directory.h>
#include <modules/instance.h>
#include <sdk/lifecycle_log.h>
#include <modules/module_loader.h>
#include <scene/scene.h>
#include <maps/shade_context.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/reliability/module_platform.h"
#include "tests/reliability/reliability_support.h"

namespace nacrelle::reliability {
namespace {

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
    ASSERT_TRUE(ModuleStillMapped(file));
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

TEST(ModuleLifecycle, LoadsAndUnloadsAThousandTimesWithoutLeavingAnythingBehind) {
    const std::filesystem::path file = ModulePath();
    const std::size_t instances = standin::LiveInstanceCount();
    // Warm-up: the host's own lazily built state is made once, not per load.
    for (int i = 0; i < 10; ++i) UseModuleOnce(file);
    const std::optional<std::size_t> heap = HeapInUse();
    for (int i = 0; i < 1000 && !HasFailure(); ++i) UseModuleOnce(file);

    EXPECT_FALSE(ModuleStillMapped(file)) << "the module's code is still mapped";
    EXPECT_EQ(standin::LiveInstanceCount(), instances);
    EXPECT_FALSE(ClassRegistered(file.string()));
    // A leak of even 16 bytes a round would show as 16 KB.
    if (heap) {
        EXPECT_LT(*HeapInUse(), *heap + 8 * 1024) << "heap in use grew over 1000 rounds";
    }
}

// ---- Files that are no module for this host ---------------------------------

std::vector<std::uint8_t> ModuleBytes() { return ReadBytes(ModulePath()); }

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
    EXPECT_FALSE(ModuleStillMapped(file)) << label;
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
        const std::string reason =
            cut < ShortestRecognisableCut() ? "not a module" : "truncated module";
        ExpectRefused(part, reason, "cut after " + std::to_string(cut) + " bytes");
    }
    // The host carries on: the whole module loads.
    UseModuleOnce(ModulePath());
}

TEST(ModuleRefusal, ModulesOfOtherArchitecturesAndFormatsAreRefused) {
    const ScratchDir scratch;
    for (const ForeignModule& foreign : ForeignModules(ModuleBytes())) {
        const std::filesystem::path file = scratch / foreign.name;
        WriteBytes(file, foreign.bytes);
        ExpectRefused(file, foreign.reason, foreign.name);
    }
    UseModuleOnce(ModulePath());
}

}  // namespace
}  // namespace nacrelle::reliability
