// Saving through a temporary file: a save that fails at any point leaves the
// previous file byte for byte, and no temporary file behind.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <thread>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

/// A real file sink that runs out of space after `limit` bytes.
class FullDiskSink final : public standin::ByteSink {
public:
    FullDiskSink(std::unique_ptr<standin::ByteSink> file, std::size_t limit)
        : file_(std::move(file)), limit_(limit) {}

    bool Write(std::span<const std::uint8_t> bytes, std::string& error) override {
        const std::size_t room = limit_ - std::min(limit_, written_);
        const std::size_t count = std::min(room, bytes.size());
        if (count > 0 && !file_->Write(bytes.first(count), error)) return false;
        written_ += count;
        if (count < bytes.size()) {
            error = "No space left on device";
            return false;
        }
        return true;
    }
    bool Commit(std::string& error) override { return file_->Commit(error); }

private:
    std::unique_ptr<standin::ByteSink> file_;
    std::size_t limit_;
    std::size_t written_ = 0;
};

class AtomicFileTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("atomic_file_test_" + std::to_string(::getpid()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::size_t FilesInDir() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
};

TEST_F(AtomicFileTest, CreatesAndReplacesAFile) {
    const fs::path target = dir_ / "scene.ncs";
    std::string error;
    ASSERT_TRUE(standin::WriteFileAtomically(target, Pattern(10, 1), error)) << error;
    EXPECT_EQ(ReadAll(target), Pattern(10, 1));
    const std::vector<std::uint8_t> bigger = Pattern(3 * standin::kAtomicWriteBlock + 5, 9);
    ASSERT_TRUE(standin::WriteFileAtomically(target, bigger, error)) << error;
    EXPECT_EQ(ReadAll(target), bigger);
    EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(AtomicFileTest, TheTemporaryFileIsNamedAfterTheTargetWhateverItsScript) {
    const fs::path target = dir_ / fs::path(u8"薄膜 fïlm.ncs");
    fs::path temporary;
    const standin::ByteSinkOpener open = [&](const fs::path& path, std::string& why) {
        temporary = path;
        return standin::OpenFileSink(path, why);
    };
    std::string error;
    ASSERT_TRUE(standin::WriteFileAtomically(target, Pattern(10, 1), error, open)) << error;
    EXPECT_EQ(temporary.parent_path(), target.parent_path());
    const std::u8string name = temporary.filename().u8string();
    EXPECT_EQ(name.rfind(u8"." + target.filename().u8string() + u8".saving-", 0), 0u)
        << temporary;
    EXPECT_EQ(ReadAll(target), Pattern(10, 1));
}

// The temporary name adds to the target's: for a name as long as the file
// system takes, the target's part is cut, never inside a character.
TEST_F(AtomicFileTest, ANameOfTheLongestLengthIsSavedAndALongerOneRefusedAsTooLong) {
    std::vector<fs::path> names = {fs::path(std::string(255, 'n'))};
#ifndef _WIN32
    std::string accents;  // 127 characters of two bytes each, and one of one
    for (int i = 0; i < 127; ++i) accents += "\xc3\xa9";
    names.push_back(accents + "x");
#endif
    for (const fs::path& name : names) {
        fs::path temporary;
        const standin::ByteSinkOpener open = [&](const fs::path& path, std::string& why) {
            temporary = path;
            return standin::OpenFileSink(path, why);
        };
        std::string error;
        ASSERT_TRUE(standin::WriteFileAtomically(dir_ / name, Pattern(10, 1), error, open)) << error;
        const auto made = temporary.filename().native();
        const auto kept = made.substr(1, made.find(fs::path(".saving-").native()) - 1);
        EXPECT_EQ(name.native().rfind(kept, 0), 0u) << "not the target's name cut";
        if (name.native()[0] != 'n') {
            EXPECT_EQ(kept.size() % 2, 0u) << "a character was split";
        }
        EXPECT_EQ(ReadAll(dir_ / name), Pattern(10, 1));
    }
    EXPECT_EQ(FilesInDir(), names.size());
    std::string error;
    EXPECT_FALSE(standin::WriteFileAtomically(dir_ / std::string(256, 'n'), Pattern(4, 0), error));
    EXPECT_NE(error.find("too long: 256"), std::string::npos) << error;
    EXPECT_EQ(FilesInDir(), names.size());
}

#ifdef _WIN32
// Windows renames nothing over an open file: a save waits for a program that
// holds it a moment, and tells one that holds it on.
TEST_F(AtomicFileTest, ASaveWaitsForAProgramThatHoldsTheFileAMoment) {
    const fs::path target = dir_ / "held.ncs";
    WriteAll(target, Pattern(4, 0));
    const auto hold = [&] {
        return CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE held = hold();
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread release([held] {
        Sleep(300);
        CloseHandle(held);
    });
    std::string error;
    EXPECT_TRUE(standin::WriteFileAtomically(target, Pattern(5, 1), error)) << error;
    release.join();
    EXPECT_EQ(ReadAll(target), Pattern(5, 1));

    held = hold();
    EXPECT_FALSE(standin::WriteFileAtomically(target, Pattern(6, 2), error));
    CloseHandle(held);
    EXPECT_NE(error.find("another program kept the file open"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(target), Pattern(5, 1));
    EXPECT_EQ(FilesInDir(), 1u);
}
#endif

TEST_F(AtomicFileTest, FailingHalfWayLeavesThePreviousFileIntact) {
    const fs::path target = dir_ / "scene.ncs";
    const std::vector<std::uint8_t> previous = Pattern(1234, 3);
    WriteAll(target, previous);
    const std::vector<std::uint8_t> next = Pattern(2 * standin::kAtomicWriteBlock + 100, 5);
    for (const std::size_t limit :
         {std::size_t{0}, std::size_t{1}, std::size_t{1000}, standin::kAtomicWriteBlock,
          standin::kAtomicWriteBlock + 1, next.size() - 1}) {
        SCOPED_TRACE("disk full after " + std::to_string(limit) + " bytes");
        const standin::ByteSinkOpener open =
            [limit](const fs::path& path,
                    std::string& error) -> std::unique_ptr<standin::ByteSink> {
            auto file = standin::OpenFileSink(path, error);
            if (!file) return nullptr;
            return std::make_unique<FullDiskSink>(std::move(file), limit);
        };
        std::string error;
        EXPECT_FALSE(standin::WriteFileAtomically(target, next, error, open));
        EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
        EXPECT_EQ(ReadAll(target), previous);
        EXPECT_EQ(FilesInDir(), 1u);  // the temporary file is gone
    }
}

TEST_F(AtomicFileTest, FailingToFinishLeavesThePreviousFileIntact) {
    class NoSync final : public standin::ByteSink {
    public:
        bool Write(std::span<const std::uint8_t>, std::string&) override { return true; }
        bool Commit(std::string& error) override {
            error = "fsync: Input/output error";
            return false;
        }
    };
    const fs::path target = dir_ / "scene.ncs";
    WriteAll(target, Pattern(50, 2));
    std::string error;
    EXPECT_FALSE(standin::WriteFileAtomically(
        target, Pattern(10, 0), error,
        [](const fs::path& path, std::string& why) -> std::unique_ptr<standin::ByteSink> {
            // The temporary file must exist for the cleanup to have work to do.
            if (!standin::OpenFileSink(path, why)) return nullptr;
            return std::make_unique<NoSync>();
        }));
    EXPECT_NE(error.find("Input/output error"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(target), Pattern(50, 2));
    EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(AtomicFileTest, ReportsAMissingDirectoryAndATargetThatIsADirectory) {
    std::string error;
    EXPECT_FALSE(
        standin::WriteFileAtomically(dir_ / "missing" / "scene.ncs", Pattern(4, 0), error));
    EXPECT_NE(error.find("cannot create the temporary file"), std::string::npos) << error;

    fs::create_directory(dir_ / "folder");
    EXPECT_FALSE(standin::WriteFileAtomically(dir_ / "folder", Pattern(4, 0), error));
    EXPECT_NE(error.find("is a directory"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
    EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(AtomicFileTest, ARefusalThatForceLiftsNamesOnlyTheCallersWayToForce) {
    const fs::path target = dir_ / "twice.ncs";
    WriteAll(target, Pattern(4, 0));
    fs::create_hard_link(target, dir_ / "other.ncs");
    for (const std::string forceName : {"", "Save anyway"}) {
        std::string error;
        EXPECT_FALSE(standin::WriteFileAtomically(target, Pattern(4, 1), error, standin::OpenFileSink,
                                                  {false, {}, forceName}));
        EXPECT_NE(error.find("part this name from the others"), std::string::npos) << error;
        EXPECT_EQ(error.find("force"), std::string::npos) << error;
        EXPECT_EQ(error.find("(Save anyway does)") != std::string::npos, !forceName.empty()) << error;
    }
}

#ifndef _WIN32
// POSIX only: Windows files have no permission bits to keep.
TEST_F(AtomicFileTest, KeepsThePermissionsOfTheFileItReplaces) {
    const fs::path target = dir_ / "private.ncs";
    WriteAll(target, Pattern(5, 0));
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    std::string error;
    ASSERT_TRUE(standin::WriteFileAtomically(target, Pattern(6, 1), error)) << error;
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}
#endif

}  // namespace
