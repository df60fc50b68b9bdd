// Output that does not arrive is a failure: a full device or a closed
// standard output ends every command with exit code 1 and a message, and a
// browser that could not be opened is not reported as opened.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program_run.h"

namespace nacrelle::tools::testing {
namespace {

namespace fs = std::filesystem;

class StandardOutput : public ProgramTest {};

TEST_F(StandardOutput, AFullOrClosedStandardOutputFailsEveryCommand) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX-only: a full device (mknod) and a closed descriptor through the shell";
#else
    runOk({"scene", "new", "s.nscene"});
    // A stand-in for /dev/full, where every write fails for want of space.
    const bool full = ::geteuid() == 0 &&
                      ::mknod(file("full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    const std::vector<std::string> commands = {
        "info", "info --json", "eval --cosine 0.5", "eval --cosine 1 --json", "panel --json",
        "scene show s.nscene", "scene show s.nscene --json", "render --size 8 -o -", "--help",
    };
    for (const char* redirection : {">&-", ">full"}) {
        if (std::string(redirection) == ">full" && !full) continue;
        for (const std::string& command : commands) {
            SCOPED_TRACE(command + " " + redirection);
            const RunResult result = runProgram(
                "/bin/sh", {"-c", "\"$0\" " + command + " " + redirection, programPath().string()},
                dir(), {{"NACRELLE_PLUGIN", std::nullopt}});
            EXPECT_EQ(result.exitCode, 1) << describe(result);
            EXPECT_NE(result.err.find("standard output"), std::string::npos) << describe(result);
            EXPECT_EQ(result.err.find('\n'), result.err.size() - 1)
                << "not one line: " << result.err;
        }
    }
    if (!full) GTEST_SKIP() << "the full-device cases need root (mknod); closed output was tested";
#endif
}

TEST_F(StandardOutput, ABrowserThatDoesNotOpenIsReported) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX-only: xdg-open on PATH; Windows calls the system's ShellExecuteW (tests/plugin)";
#else
    // An opener that fails, first on PATH.
    fs::create_directory(file("bin"));
    {
        std::ofstream script(file("bin/xdg-open"));
        script << "#!/bin/sh\nexit 3\n";
    }
    fs::permissions(file("bin/xdg-open"), fs::perms::owner_all);
    const std::string path = file("bin").string() + ":" + std::getenv("PATH");
    for (const auto& [search, why] : {std::pair{path, "exit code 3"},
                                      std::pair{file("bin/none").string(), "cannot start"}}) {
        SCOPED_TRACE(search);
        const RunResult result = run({"panel", "--press", "1009", "--open"}, {{"PATH", search}});
        EXPECT_EQ(result.exitCode, 1) << describe(result);
        EXPECT_NE(result.err.find(why), std::string::npos) << describe(result);
        EXPECT_EQ(result.out.find("opened"), std::string::npos) << describe(result);
    }
#endif
}

}  // namespace
}  // namespace nacrelle::tools::testing
