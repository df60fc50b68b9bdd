// What a save finds at its target decides what it may do: devices and pipes
// survive, links are written through, read-only files, hard links and the
// command's own inputs are refused (unless --force, where it applies), and a
// replaced file keeps its mode and owner.
#include <gtest/gtest.h>
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

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

#ifndef _WIN32
struct stat statOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}
#endif

bool startsWithPng(const std::vector<unsigned char>& bytes) {
    return bytes.size() > 8 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G';
}

class WriteTarget : public ProgramTest {
protected:
    /// Runs a shell script in the working directory, the program as $0.
    RunResult shell(const std::string& script) const {
        return runProgram("/bin/sh", {"-c", script, programPath().string()}, dir(),
                          {{"NACRELLE_PLUGIN", std::nullopt}});
    }
};

#ifndef _WIN32
struct TargetCase {
    const char* what;
    bool needsRoot;       // mknod, giving files away
    const char* prepare;  // shell
    std::vector<std::string> arguments;
    int exitCode;
    const char* message;  // in the error, when refused
    const char* check;    // shell: true when the target is as it should be
};

// The nodes are made in the test's own folder and stand in for the system's
// /dev/null (1,3), /dev/full (1,7) and a loop device: the real ones are never
// touched.
const TargetCase kTargets[] = {
    {"a character device is written into and stays one", true, "mknod null c 1 3",
     {"render", "--size", "8", "-o", "null"}, 0, "", "test -c null"},
    {"a full device reports the failure and stays one", true, "mknod full c 1 7",
     {"render", "--size", "8", "-o", "full"}, 1, "No space left on device", "test -c full"},
    {"a block device is refused", true, "mknod disk b 7 200",
     {"render", "--size", "8", "-o", "disk"}, 1, "block device", "test -b disk"},
    {"a FIFO nobody reads is refused at once and stays one", false, "mkfifo pipe",
     {"render", "--size", "8", "-o", "pipe"}, 1, "nothing reads from the pipe", "test -p pipe"},
    {"a symbolic link is written through and stays a link", false,
     "echo old > real.png && ln -s real.png link.png", {"render", "--size", "8", "-o", "link.png"},
     0, "", "test -L link.png && head -c 4 real.png | grep -q PNG"},
    {"a dangling link is refused without --force", false, "ln -s gone.nscene s.nscene",
     {"scene", "new", "s.nscene"}, 1, "which does not exist; --force creates it",
     "test -L s.nscene && ! test -e gone.nscene"},
    {"a dangling link with --force creates its target", false, "ln -s gone.nscene s.nscene",
     {"scene", "new", "s.nscene", "--force"}, 0, "", "test -L s.nscene && test -f gone.nscene"},
    {"a read-only file is refused, by root too", false, "echo old > ro.png && chmod 440 ro.png",
     {"render", "--size", "8", "-o", "ro.png"}, 1, "read-only; --force", "grep -qx old ro.png"},
    {"a read-only file is replaced with --force and keeps its mode", false,
     "echo old > ro.png && chmod 440 ro.png", {"render", "--size", "8", "-o", "ro.png", "--force"},
     0, "", "test $(stat -c %a ro.png) = 440 && head -c 4 ro.png | grep -q PNG"},
    {"a replaced file keeps its owner and group", true,
     "echo old > theirs.png && chown 65534:65534 theirs.png",
     {"render", "--size", "8", "-o", "theirs.png"}, 0, "",
     "test $(stat -c %u:%g theirs.png) = 65534:65534 && ! grep -q old theirs.png"},
    {"a file with another hard link is refused, not split", false, "echo old > a.png && ln a.png b.png",
     {"render", "--size", "8", "-o", "a.png"}, 1, "2 hard links",
     "grep -qx old a.png && test $(stat -c %h a.png) = 2"},
    {"the scene rendered is never the output, under any name", false,
     "\"$0\" scene new s.nscene && ln s.nscene s.png",
     {"scene", "render", "s.nscene", "-o", "s.png"}, 1, "is the input",
     "\"$0\" scene show s.nscene > /dev/null"},
    {"the thickness image is never the output", false, "\"$0\" render --size 8 -o in.png",
     {"render", "--size", "8", "--thickness-map", "bitmap:in.png", "-o", "./in.png"}, 1,
     "is the input", "\"$0\" render --size 8 --thickness-map bitmap:in.png -o out.png"},
    {"a frame range whose later name is a FIFO nobody reads writes no frame", false,
     "\"$0\" scene new fr.nscene && mkfifo m-0002.png",
     {"scene", "render", "fr.nscene", "--size", "8", "--frames", "0-2", "-o", "m.png"}, 1,
     "nothing reads from the pipe", "! test -e m-0000.png && test -p m-0002.png"},
    {"a frame range whose later name is an input writes no frame", false,
     "\"$0\" render --size 8 -o m-0001.png && "
     "\"$0\" scene new fr.nscene --thickness-map bitmap:m-0001.png",
     {"scene", "render", "fr.nscene", "--size", "8", "--frames", "0-2", "-o", "m.png"}, 1,
     "is the input", "! test -e m-0000.png && ! test -e m-0002.png"},
};
#endif

#ifdef _WIN32
// Windows keeps devices and pipes outside folders, and "read-only" is an
// attribute of the file.
TEST_F(WriteTarget, EachKindOfTargetIsWrittenOrRefusedAsItShouldBe) {
    const auto readOnly = [this](const char* name) {
        std::ofstream(file(name)) << "old";
        SetFileAttributesW(file(name).c_str(), FILE_ATTRIBUTE_READONLY);
    };
    const auto isReadOnly = [this](const char* name) {
        return (GetFileAttributesW(file(name).c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
    };
    const auto holdsOld = [this](const char* name) {
        return readBytes(name) == std::vector<unsigned char>{'o', 'l', 'd'};
    };
    struct Case {
        const char* what;
        std::function<void()> prepare;
        std::vector<std::string> arguments;
        int exitCode;
        const char* message;  // in the error, when refused
        std::function<bool()> check;
    };
    const Case cases[] = {
        {"the null device is written into", [] {}, {"render", "--size", "8", "-o", "NUL"}, 0, "",
         [this] { return entries().empty(); }},
        {"a read-only file is refused", [&] { readOnly("ro.png"); },
         {"render", "--size", "8", "-o", "ro.png"}, 1, "read-only; --force",
         [&] { return holdsOld("ro.png") && isReadOnly("ro.png"); }},
        {"a read-only file is replaced with --force and stays read-only",
         [&] { readOnly("ro.png"); }, {"render", "--size", "8", "-o", "ro.png", "--force"}, 0, "",
         [&] { return startsWithPng(readBytes("ro.png")) && isReadOnly("ro.png"); }},
        {"a file with another hard link is refused, not split",
         [&] {
             std::ofstream(file("a.png")) << "old";
             CreateHardLinkW(file("b.png").c_str(), file("a.png").c_str(), nullptr);
         },
         {"render", "--size", "8", "-o", "a.png"}, 1, "2 hard links",
         [&] { return holdsOld("a.png") && holdsOld("b.png"); }},
        {"the thickness image is never the output",
         [this] { runOk({"render", "--size", "8", "-o", "in.png"}); },
         {"render", "--size", "8", "--thickness-map", "bitmap:in.png", "-o", ".\\IN.png"}, 1,
         "is the input", [this] { return startsWithPng(readBytes("in.png")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : fs::directory_iterator(dir())) {
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
            fs::remove_all(entry.path());
        }
        c.prepare();
        const RunResult result = run(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << describe(result);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << describe(result);
        EXPECT_TRUE(c.check()) << "the target is not as it should be";
        for (const std::string& name : entries()) {
            EXPECT_EQ(name.find("saving-"), std::string::npos) << "a temporary file was left";
        }
    }
}
#else
TEST_F(WriteTarget, EachKindOfTargetIsWrittenOrRefusedAsItShouldBe) {
    int skipped = 0;
    for (const TargetCase& c : kTargets) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && ::geteuid() != 0) {
            ++skipped;
            continue;
        }
        for (const auto& entry : fs::directory_iterator(dir())) fs::remove_all(entry.path());
        ASSERT_EQ(shell(c.prepare).exitCode, 0);
        const RunResult result = run(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << describe(result);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << describe(result);
        EXPECT_EQ(shell(c.check).exitCode, 0) << "the target is not as it should be";
        EXPECT_EQ(shell("ls -A | grep -q saving-").exitCode, 1) << "a temporary file was left";
    }
    if (skipped > 0) {
        GTEST_SKIP() << skipped << " cases need root (mknod, giving files away); not run as root";
    }
}
#endif

TEST_F(WriteTarget, AFifoWithAReaderGetsTheImage) {
#ifdef _WIN32
    // A named pipe whose server reads.
    const std::wstring name =
        L"\\\\.\\pipe\\nacrelle-write-target-" + std::to_wstring(GetCurrentProcessId());
    const HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND,
                                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE) << GetLastError();
    std::vector<unsigned char> received;
    std::thread reader([&] {
        ConnectNamedPipe(pipe, nullptr);
        unsigned char buffer[4096];
        DWORD got = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            received.insert(received.end(), buffer, buffer + got);
        }
    });
    const RunResult result =
        run({"render", "--size", "8", "-o", std::string(name.begin(), name.end())});
    if (result.exitCode != 0) {  // the reader still waits for a writer: one comes and goes
        CloseHandle(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    reader.join();
    CloseHandle(pipe);
    EXPECT_EQ(result.exitCode, 0) << describe(result);
    EXPECT_TRUE(startsWithPng(received));
    EXPECT_TRUE(entries().empty());
#else
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
#endif
}

TEST_F(WriteTarget, NamesThatAreNotUtf8KeepTheirBytes) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX-only: Windows names are UTF-16, never bytes that are not UTF-8";
#else
    const std::string image = "in\xFF.png", scene = "s\xFE.nscene", output = "out\xFD.png";
    runOk({"render", "--size", "8", "-o", image});
    runOk({"scene", "new", scene, "--thickness-map", "bitmap:" + image, "--set",
           "thicknessmapenabled=true"});
    runOk({"scene", "render", scene, "--size", "8", "-o", output});
    EXPECT_EQ(entries(), (std::set<std::string>{image, scene, output}));
    const RunResult shown = runOk({"scene", "show", scene});
    EXPECT_NE(shown.out.find(image), std::string::npos) << shown.out;
#endif
}

/// Another user, in a directory anyone may write, meets root's read-only
/// scene: refused; with --force still refused where the directory is sticky,
/// done where that user could have deleted the file anyway.
TEST_F(WriteTarget, AnotherUserMayNotReplaceAReadOnlyScene) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX-only: a second user (setpriv), file modes and the sticky bit";
#else
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to run the program as another user";
    const std::string asNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\" ";
    const RunResult probe = shell(asNobody + "--version");
    if (probe.exitCode != 0) {
        GTEST_SKIP() << "user nobody cannot run the built program here: " << describe(probe);
    }
    ASSERT_EQ(shell("\"$0\" scene new s.nscene && chmod 444 s.nscene").exitCode, 0);
    const std::vector<unsigned char> before = readBytes("s.nscene");
    struct Step {
        fs::perms folder;
        const char* options;
        int exitCode;
        const char* message;
    };
    for (const Step& step :
         {Step{fs::perms::all | fs::perms::sticky_bit, "", 1, "read-only; --force"},
          Step{fs::perms::all | fs::perms::sticky_bit, "--force", 1, "does not let you replace it"},
          Step{fs::perms::all, "--force", 0, ""}}) {
        fs::permissions(dir(), step.folder);
        const RunResult result =
            shell(asNobody + "scene set " + step.options + " s.nscene hue=4");
        EXPECT_EQ(result.exitCode, step.exitCode) << describe(result);
        EXPECT_NE(result.err.find(step.message), std::string::npos) << describe(result);
        EXPECT_EQ(readBytes("s.nscene") == before, step.exitCode != 0);
        EXPECT_EQ(statOf(file("s.nscene")).st_mode & 07777, 0444u);
    }
#endif
}

}  // namespace
}  // namespace nacrelle::tools::testing
