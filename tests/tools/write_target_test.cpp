// What a save finds at its target decides what it may do: devices and pipes
// survive, links are written through, read-only files, hard links and the
// command's own inputs are refused (unless --force, where it applies), and a
// replaced file keeps its mode and owner.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "program_run.h"

namespace nacrelle::tools::testing {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

struct stat statOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}

bool startsWithPng(const std::vector<unsigned char>& bytes) {
    return bytes.size() > 8 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G';
}

class WriteTarget : public ProgramTest {
public:
    // For the table's steps.
    using ProgramTest::file;
    using ProgramTest::readBytes;
    using ProgramTest::run;

    /// An old file that a refused save must leave alone.
    void oldFile(const std::string& name) const {
        std::ofstream(file(name)) << "old";
    }
    bool stillOld(const std::string& name) const {
        const std::vector<unsigned char> bytes = readBytes(name);
        return std::string(bytes.begin(), bytes.end()) == "old";
    }
};

struct TargetCase {
    const char* what;
    bool needsRoot;  // mknod and giving files away
    std::function<void(const WriteTarget&)> prepare;
    std::vector<std::string> arguments;
    int exitCode;
    const char* message;  // in the error, when refused
    std::function<void(const WriteTarget&)> check;
};

TEST_F(WriteTarget, EachKindOfTargetIsWrittenOrRefusedAsItShouldBe) {
    const bool root = ::geteuid() == 0;
    const std::vector<TargetCase> cases = {
        {"a character device standing in for /dev/null is written into and stays a device",
         true, [](const WriteTarget& t) { ASSERT_EQ(::mknod(t.file("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0); },
         {"render", "--size", "8", "-o", "null"}, 0, "",
         [](const WriteTarget& t) {
             const struct stat info = statOf(t.file("null"));
             EXPECT_TRUE(S_ISCHR(info.st_mode));
             EXPECT_EQ(info.st_rdev, makedev(1, 3));
         }},
        {"a full device reports the failure and stays a device", true,
         [](const WriteTarget& t) { ASSERT_EQ(::mknod(t.file("full").c_str(), S_IFCHR | 0666, makedev(1, 7)), 0); },
         {"render", "--size", "8", "-o", "full"}, 1, "No space left on device",
         [](const WriteTarget& t) { EXPECT_TRUE(S_ISCHR(statOf(t.file("full")).st_mode)); }},
        {"a block device is refused", true,
         [](const WriteTarget& t) { ASSERT_EQ(::mknod(t.file("disk").c_str(), S_IFBLK | 0600, makedev(7, 200)), 0); },
         {"render", "--size", "8", "-o", "disk"}, 1, "block device",
         [](const WriteTarget& t) { EXPECT_TRUE(S_ISBLK(statOf(t.file("disk")).st_mode)); }},
        {"a FIFO nobody reads is refused at once and stays a FIFO", false,
         [](const WriteTarget& t) { ASSERT_EQ(::mkfifo(t.file("pipe").c_str(), 0644), 0); },
         {"render", "--size", "8", "-o", "pipe"}, 1, "nothing reads from the pipe",
         [](const WriteTarget& t) { EXPECT_TRUE(S_ISFIFO(statOf(t.file("pipe")).st_mode)); }},
        {"a symbolic link is written through and stays a link", false,
         [](const WriteTarget& t) {
             t.oldFile("real.png");
             fs::create_symlink("real.png", t.file("link.png"));
         },
         {"render", "--size", "8", "-o", "link.png"}, 0, "",
         [](const WriteTarget& t) {
             EXPECT_TRUE(fs::is_symlink(t.file("link.png")));
             EXPECT_TRUE(startsWithPng(t.readBytes("real.png")));
         }},
        {"a dangling link is refused without --force", false,
         [](const WriteTarget& t) { fs::create_symlink("gone.nscene", t.file("s.nscene")); },
         {"scene", "new", "s.nscene"}, 1, "which does not exist; --force creates it",
         [](const WriteTarget& t) { EXPECT_FALSE(fs::exists(t.file("gone.nscene"))); }},
        {"a dangling link with --force creates its target", false,
         [](const WriteTarget& t) { fs::create_symlink("gone.nscene", t.file("s.nscene")); },
         {"scene", "new", "s.nscene", "--force"}, 0, "",
         [](const WriteTarget& t) {
             EXPECT_TRUE(fs::is_symlink(t.file("s.nscene")));
             EXPECT_TRUE(fs::is_regular_file(t.file("gone.nscene")));
         }},
        {"a read-only file is refused, even for root", false,
         [](const WriteTarget& t) {
             t.oldFile("ro.png");
             fs::permissions(t.file("ro.png"), fs::perms::owner_read | fs::perms::group_read);
         },
         {"render", "--size", "8", "-o", "ro.png"}, 1, "read-only; --force",
         [](const WriteTarget& t) { EXPECT_TRUE(t.stillOld("ro.png")); }},
        {"a read-only file is replaced with --force and keeps its mode", false,
         [](const WriteTarget& t) {
             t.oldFile("ro.png");
             fs::permissions(t.file("ro.png"), fs::perms::owner_read | fs::perms::group_read);
         },
         {"render", "--size", "8", "-o", "ro.png", "--force"}, 0, "",
         [](const WriteTarget& t) {
             EXPECT_TRUE(startsWithPng(t.readBytes("ro.png")));
             EXPECT_EQ(statOf(t.file("ro.png")).st_mode & 07777, 0440u);
         }},
        {"a replaced file keeps its owner and group", true,
         [](const WriteTarget& t) {
             t.oldFile("theirs.png");
             ASSERT_EQ(::chown(t.file("theirs.png").c_str(), kNobody, kNobody), 0);
         },
         {"render", "--size", "8", "-o", "theirs.png"}, 0, "",
         [](const WriteTarget& t) {
             EXPECT_EQ(statOf(t.file("theirs.png")).st_uid, kNobody);
             EXPECT_EQ(statOf(t.file("theirs.png")).st_gid, kNobody);
         }},
        {"a file with another hard link is refused, not split", false,
         [](const WriteTarget& t) {
             t.oldFile("a.png");
             fs::create_hard_link(t.file("a.png"), t.file("b.png"));
         },
         {"render", "--size", "8", "-o", "a.png"}, 1, "2 hard links",
         [](const WriteTarget& t) { EXPECT_EQ(fs::hard_link_count(t.file("a.png")), 2u); }},
        {"the scene being rendered is never the output, under any name", false,
         [](const WriteTarget& t) {
             ASSERT_EQ(t.run({"scene", "new", "s.nscene"}).exitCode, 0);
             fs::create_hard_link(t.file("s.nscene"), t.file("s.png"));
         },
         {"scene", "render", "s.nscene", "-o", "s.png"}, 1, "is the input",
         [](const WriteTarget& t) {
             EXPECT_EQ(t.run({"scene", "show", "s.nscene"}).exitCode, 0);
         }},
        {"the thickness image is never the output", false,
         [](const WriteTarget& t) {
             ASSERT_EQ(t.run({"render", "--size", "8", "-o", "in.png"}).exitCode, 0);
         },
         {"render", "--size", "8", "--thickness-map", "bitmap:in.png", "-o", "./in.png"}, 1,
         "is the input",
         [](const WriteTarget& t) { EXPECT_EQ(t.readBytes("in.png").size(), fs::file_size(t.file("in.png"))); }},
    };
    int skipped = 0;
    for (const TargetCase& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !root) {
            ++skipped;
            continue;
        }
        for (const auto& entry : fs::directory_iterator(dir())) fs::remove_all(entry.path());
        c.prepare(*this);
        const RunResult result = run(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << describe(result);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << describe(result);
        c.check(*this);
        for (const auto& entry : fs::directory_iterator(dir())) {
            EXPECT_EQ(entry.path().filename().string().find(".saving-"), std::string::npos);
        }
    }
    if (skipped > 0) {
        GTEST_SKIP() << skipped << " cases need root (mknod, giving files away); not run as root";
    }
}

TEST_F(WriteTarget, AFifoWithAReaderGetsTheImage) {
    ASSERT_EQ(::mkfifo(file("pipe").c_str(), 0644), 0);
    std::vector<unsigned char> received;
    std::thread reader([&] {
        std::ifstream in(file("pipe"), std::ios::binary);
        received.assign(std::istreambuf_iterator<char>(in), {});
    });
    RunResult result;
    // The program opens the pipe only once a reader has it open.
    for (int attempt = 0; attempt < 200; ++attempt) {
        result = run({"render", "--size", "8", "-o", "pipe"});
        if (result.exitCode == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reader.join();
    EXPECT_EQ(result.exitCode, 0) << describe(result);
    EXPECT_TRUE(startsWithPng(received));
    EXPECT_TRUE(S_ISFIFO(statOf(file("pipe")).st_mode));
}

TEST_F(WriteTarget, NamesThatAreNotUtf8KeepTheirBytes) {
    const std::string image = "in\xFF.png", scene = "s\xFE.nscene", output = "out\xFD.png";
    runOk({"render", "--size", "8", "-o", image});
    runOk({"scene", "new", scene, "--thickness-map", "bitmap:" + image, "--set",
           "thicknessmapenabled=true"});
    runOk({"scene", "render", scene, "--size", "8", "-o", output});
    EXPECT_EQ(entries(), (std::set<std::string>{image, scene, output}));
    const RunResult shown = runOk({"scene", "show", scene});
    EXPECT_NE(shown.out.find(image), std::string::npos) << shown.out;
}

/// Another user, in a directory anyone may write, meets root's read-only
/// scene: refused; with --force refused where the directory is sticky,
/// replaced where the user could have deleted it anyway.
TEST_F(WriteTarget, AnotherUserMayNotReplaceAReadOnlyScene) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to run the program as another user";
    const fs::path setpriv = "/usr/bin/setpriv";
    if (!fs::exists(setpriv)) GTEST_SKIP() << "needs setpriv (util-linux) to switch users";
    const RunResult probe = runProgram(
        setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", programPath().string(), "--help"},
        dir());
    if (probe.exitCode != 0) {
        GTEST_SKIP() << "user nobody cannot run the built program here: " << describe(probe);
    }
    const auto asNobody = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups",
                                             programPath().string()});
        return runProgram(setpriv, arguments, dir(), {{"NACRELLE_PLUGIN", std::nullopt}});
    };
    ASSERT_EQ(run({"scene", "new", "s.nscene"}).exitCode, 0);
    fs::permissions(file("s.nscene"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::vector<unsigned char> before = readBytes("s.nscene");

    fs::permissions(dir(), fs::perms::all | fs::perms::sticky_bit);
    RunResult result = asNobody({"scene", "set", "s.nscene", "hue=4"});
    EXPECT_EQ(result.exitCode, 1) << describe(result);
    EXPECT_NE(result.err.find("read-only"), std::string::npos) << describe(result);
    result = asNobody({"scene", "set", "--force", "s.nscene", "hue=4"});
    EXPECT_EQ(result.exitCode, 1) << describe(result);
    EXPECT_NE(result.err.find("does not let you replace it"), std::string::npos) << describe(result);
    EXPECT_EQ(readBytes("s.nscene"), before);
    EXPECT_EQ(statOf(file("s.nscene")).st_uid, 0u);

    fs::permissions(dir(), fs::perms::all);
    result = asNobody({"scene", "set", "--force", "s.nscene", "hue=4"});
    EXPECT_EQ(result.exitCode, 0) << describe(result);
    EXPECT_NE(readBytes("s.nscene"), before);
    EXPECT_EQ(statOf(file("s.nscene")).st_mode & 07777, 0444u);
}

}  // namespace
}  // namespace nacrelle::tools::testing
