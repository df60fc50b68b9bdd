// Nothing lost on a failed save: a save that fails at any point (the disk
// filling up after N bytes, for every N up to the file's size; the final
// flush failing; the temporary file not being creatable) reports the failure
// and leaves the previous file byte for byte as it was, with no temporary
// file left behind.
#include <gtest/gtest.h>
#include <imtl.h>
#include <platform/atomic_file.h>
#include <sdk/class_directory.h>
#include <modules/module_loader.h>
#include <scene/scene_file.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/reliability/reliability_support.h"
#include "common/errors.h"
#include "app/session/host_session.h"

namespace nacrelle::reliability {
namespace {

constexpr const char* kDiskFull = "No space left on device";

/// Passes the first `budget` bytes on to a real file, then fails as a full
/// disk does; optionally fails the final flush instead.
class FailingSink final : public standin::ByteSink {
public:
    FailingSink(std::unique_ptr<standin::ByteSink> file, std::size_t budget, bool failCommit)
        : file_(std::move(file)), budget_(budget), failCommit_(failCommit) {}

    bool Write(std::span<const std::uint8_t> bytes, std::string& error) override {
        const std::size_t taken = std::min(bytes.size(), budget_);
        if (taken > 0 && !file_->Write(bytes.first(taken), error)) return false;
        budget_ -= taken;
        if (taken < bytes.size()) {
            error = kDiskFull;
            return false;
        }
        return true;
    }
    bool Commit(std::string& error) override {
        if (failCommit_) {
            error = "fsync: Input/output error";
            return false;
        }
        return file_->Commit(error);
    }

private:
    std::unique_ptr<standin::ByteSink> file_;
    std::size_t budget_;
    bool failCommit_;
};

standin::ByteSinkOpener FailAfter(std::size_t budget, bool failCommit = false) {
    return [=](const std::filesystem::path& path,
               std::string& error) -> std::unique_ptr<standin::ByteSink> {
        auto file = standin::OpenFileSink(path, error);
        if (!file) return nullptr;
        return std::make_unique<FailingSink>(std::move(file), budget, failCommit);
    };
}

class SaveFailure : public ::testing::Test {
protected:
    void SetUp() override {
        module = std::make_unique<standin::LoadedModule>(ModulePath());
        scene = std::make_unique<standin::Scene>();
        WriteGreyPng(scratch / "thickness.png", 5, 3);
    }
    void TearDown() override {
        scene.reset();
        module.reset();
    }

    /// A map dressed as users dress them: a thickness map, changed values,
    /// an animated value and a G-buffer ID; `kind` picks the thickness map.
    Texmap& AddMap(const std::string& kind, int serial) {
        auto* map = static_cast<Texmap*>(standin::CreateInstance(module->Classes()[0]));
        scene->Add(map);
        Texmap& sub = PlugThicknessMap(*map, kind);
        if (kind == "noise") SetParam(sub, "phase", std::to_string(0.01 * serial));
        SetParam(*map, "nfilm", std::to_string(1.2 + 0.01 * (serial % 50)));
        SetParam(*map, "hue", "-35.5");
        SetKey(*map, "thicknessmax", "120", 30 * 160);
        map->SetGBufID(static_cast<ULONG>(serial + 1));
        return *map;
    }

    /// The previous file: what the target holds before each failing save.
    std::vector<std::uint8_t> SavePrevious(const std::filesystem::path& target) {
        standin::SaveSceneFile(*scene, target);
        return ReadBytes(target);
    }

    /// Saves through `open`, expecting a failure that names the target and
    /// `why`, the previous file intact and nothing else in the folder.
    void ExpectFailedSaveLosesNothing(const std::filesystem::path& target,
                                      const std::vector<std::uint8_t>& previous,
                                      const standin::ByteSinkOpener& open, const std::string& why,
                                      const std::string& label) {
        const std::vector<std::string> before = scratch.Listing();
        try {
            standin::SaveSceneFile(*scene, target, open);
            ADD_FAILURE() << label << ": the save reported success";
        } catch (const standin::SceneFileError& e) {
            EXPECT_NE(std::string(e.what()).find(target.string()), std::string::npos)
                << label << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(why), std::string::npos)
                << label << ": " << e.what();
        }
        EXPECT_EQ(ReadBytes(target), previous) << label << ": the previous file changed";
        EXPECT_EQ(scratch.Listing(), before) << label << ": a temporary file was left";
    }

    ScratchDir scratch;
    std::unique_ptr<standin::LoadedModule> module;
    std::unique_ptr<standin::Scene> scene;
};

TEST_F(SaveFailure, ADiskFullAfterAnyNumberOfBytesLeavesThePreviousFileIntact) {
    const std::filesystem::path target = scratch / "scene.ncs";
    AddMap("noise", 0);
    const std::vector<std::uint8_t> previous = SavePrevious(target);
    AddMap("bitmap:" + (scratch / "thickness.png").string(), 1);
    AddMap("gradient", 2);
    const std::vector<std::uint8_t> next = standin::WriteSceneBytes(*scene, "next");
    ASSERT_NE(next, previous);

    for (std::size_t n = 0; n < next.size(); ++n) {
        ExpectFailedSaveLosesNothing(
            target, previous, FailAfter(n), kDiskFull,
            "failing after " + std::to_string(n) + " of " + std::to_string(next.size()) + " bytes");
        if (HasFailure()) break;  // one case tells the story
    }
    RecordProperty("save_failure_cases", std::to_string(next.size()));

    // With room for every byte the save goes through.
    standin::SaveSceneFile(*scene, target, FailAfter(next.size()));
    EXPECT_EQ(ReadBytes(target), next);
}

TEST_F(SaveFailure, AFileWrittenInSeveralBlocksFailsCleanlyAtEveryBlockBoundary) {
    const std::filesystem::path target = scratch / "large.ncs";
    AddMap("gradient", 0);
    const std::vector<std::uint8_t> previous = SavePrevious(target);
    // More than three write blocks' worth of maps.
    for (int i = 1; i < 1000 && standin::WriteSceneBytes(*scene, "x").size() <
                                    3 * standin::kAtomicWriteBlock + 100;
         i += 20) {
        for (int k = i; k < i + 20; ++k) AddMap(k % 2 ? "noise" : "gradient", k);
    }
    const std::size_t size = standin::WriteSceneBytes(*scene, "x").size();
    ASSERT_GT(size, 3 * standin::kAtomicWriteBlock);

    std::vector<std::size_t> cuts = {0, 1, size / 2, size - 1};
    for (std::size_t block = standin::kAtomicWriteBlock; block < size;
         block += standin::kAtomicWriteBlock) {
        cuts.insert(cuts.end(), {block - 1, block, block + 1});
    }
    for (std::size_t n : cuts) {
        ExpectFailedSaveLosesNothing(
            target, previous, FailAfter(n), kDiskFull,
            "failing after " + std::to_string(n) + " of " + std::to_string(size) + " bytes");
    }
}

TEST_F(SaveFailure, AFailedFlushOrAnUncreatableTemporaryFileLeavesThePreviousFileIntact) {
    const std::filesystem::path target = scratch / "scene.ncs";
    Texmap& map = AddMap("noise", 0);
    const std::vector<std::uint8_t> previous = SavePrevious(target);
    SetParam(map, "gamma", "3");

    ExpectFailedSaveLosesNothing(target, previous, FailAfter(SIZE_MAX, true),
                                 "fsync: Input/output error", "failing flush");
    const standin::ByteSinkOpener readOnlyFolder =
        [](const std::filesystem::path&, std::string& error) -> std::unique_ptr<standin::ByteSink> {
        error = "Read-only file system";
        return nullptr;
    };
    ExpectFailedSaveLosesNothing(target, previous, readOnlyFolder, "Read-only file system",
                                 "no temporary file");
}

#ifdef _WIN32
TEST(ProgramSave, AFileSystemThatRefusesMoreBytesFailsTheSaveAndKeepsThePreviousFile) {
    GTEST_SKIP() << "POSIX-only: Windows has no limit on a process's file size (setrlimit) to "
                    "fail real writes part-way; SaveFailure injects the same failures";
}
#else
/// The operating system's own limit on file size stands in for a full disk:
/// real writes through the program's real save then fail part-way (EFBIG).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);  // a failed write, not a killed process
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        ::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST(ProgramSave, AFileSystemThatRefusesMoreBytesFailsTheSaveAndKeepsThePreviousFile) {
    const ScratchDir scratch;
    const std::filesystem::path target = scratch / "scene.ncs";
    tools::HostSession session(ModulePath());
    Texmap& map = session.createMap();
    PlugThicknessMap(map, "noise");
    session.saveScene(target);
    const std::vector<std::uint8_t> previous = ReadBytes(target);
    SetParam(map, "thicknessmin", "777");
    session.createMap();
    const std::size_t size = standin::WriteSceneBytes(session.scene(), "x").size();

    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{6}, size / 3, size - 1}) {
        const std::string label =
            "a limit of " + std::to_string(n) + " of " + std::to_string(size) + " bytes";
        try {
            const FileSizeLimit limit(n);
            session.saveScene(target);
            ADD_FAILURE() << label << ": the save reported success";
        } catch (const tools::Failure& e) {
            EXPECT_NE(std::string(e.what()).find(target.string()), std::string::npos)
                << label << ": " << e.what();
        }
        EXPECT_EQ(ReadBytes(target), previous) << label;
        EXPECT_EQ(scratch.Listing(), std::vector<std::string>{"scene.ncs"}) << label;
    }
    session.saveScene(target);
    EXPECT_EQ(ReadBytes(target), standin::WriteSceneBytes(session.scene(), "x"));
}

#endif

}  // namespace
}  // namespace nacrelle::reliability
