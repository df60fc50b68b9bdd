// Scene files under concurrent edits, interrupted renders and inputs that are
// no scene at all: no edit is lost, no temporary file is left, nothing is read
// without end.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "program_run.h"
#include "platform/file_lock.h"

namespace nacrelle::tools::testing {
namespace {

namespace fs = std::filesystem;

class SceneSafety : public ProgramTest {
protected:
    /// Runs a shell script with the program as $0.
    RunResult shell(const std::string& script,
                    std::vector<EnvironmentChange> environment = {}) const {
        environment.push_back({"NACRELLE_PLUGIN", std::nullopt});
        return runProgram("/bin/sh", {"-c", script, programPath().string()}, dir(), environment);
    }
    std::size_t keyCount(const std::string& scene, const std::string& name) const {
        const nlohmann::json shown =
            nlohmann::json::parse(runOk({"scene", "show", scene, "--json"}).out);
        const nlohmann::json& parameter = shown["map"]["parameters"][name];
        return parameter.contains("keys") ? parameter["keys"].size() : 0;
    }
    double sceneValue(const std::string& scene, const std::string& name) const {
        const nlohmann::json shown =
            nlohmann::json::parse(runOk({"scene", "show", scene, "--json"}).out);
        return shown["map"]["parameters"][name]["value"].get<double>();
    }
};

TEST_F(SceneSafety, TwoEditorsAtOnceLoseNoEdit) {
    // Each edit adds a key of its own, so every lost update shows as a key
    // missing.
#ifdef _WIN32
    // No shell: two threads run the editors, one round (a Wine process
    // starts far more slowly than a POSIX one).
    runOk({"scene", "new", "c.nscene"});
    auto edit = [&](const std::string& name, int& failures) {
        for (int i = 0; i < 50; ++i) {
            const std::string key = name + "@" + std::to_string(i) + "=" + std::to_string(i);
            if (run({"scene", "set", "c.nscene", "--key", key}).exitCode != 0) ++failures;
        }
    };
    int hueFailures = 0, satFailures = 0;
    std::thread hue(edit, "hue", std::ref(hueFailures));
    edit("sat", satFailures);
    hue.join();
    EXPECT_EQ(hueFailures + satFailures, 0);
    EXPECT_EQ(keyCount("c.nscene", "hue"), 50u);
    EXPECT_EQ(keyCount("c.nscene", "sat"), 50u);
    EXPECT_EQ(entries(), std::set<std::string>{"c.nscene"});
#else
    const std::string loops =
        "edit() { i=0; while [ $i -lt 50 ]; do \"$0\" scene set c.nscene --key $1@$i=$i || exit 1;"
        " i=$((i+1)); done; }; edit hue & a=$!; edit sat & b=$!; wait $a && wait $b";
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        fs::remove(file("c.nscene"));
        runOk({"scene", "new", "c.nscene"});
        const RunResult result = shell(loops);
        ASSERT_EQ(result.exitCode, 0) << describe(result);
        EXPECT_EQ(keyCount("c.nscene", "hue"), 50u);
        EXPECT_EQ(keyCount("c.nscene", "sat"), 50u);
        EXPECT_EQ(entries(), std::set<std::string>{"c.nscene"});
    }
#endif
}

TEST_F(SceneSafety, AnEditHeldUpTooLongSaysSo) {
    runOk({"scene", "new", "c.nscene"});
    RunResult result, replaced;
    {
#ifdef _WIN32
        // The host's own lock, the one the program takes (a named mutex).
        standin::FileLock held;
        std::string error;
        ASSERT_EQ(held.TryLock(file("c.nscene"), error), standin::LockAttempt::Locked) << error;
#else
        const int fd = ::open(file("c.nscene").c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
#endif
        result = run({"scene", "set", "c.nscene", "hue=4"}, {{"NACRELLE_LOCK_WAIT", "0.2"}});
        // Replacing the scene waits for the edit as well.
        replaced = run({"scene", "new", "c.nscene", "--force", "--set", "hue=5"},
                       {{"NACRELLE_LOCK_WAIT", "0.2"}});
#ifndef _WIN32
        ::close(fd);
#endif
    }
    for (const RunResult& refused : {result, replaced}) {
        EXPECT_EQ(refused.exitCode, 1) << describe(refused);
        EXPECT_NE(refused.err.find("being changed by another program"), std::string::npos)
            << describe(refused);
    }
    EXPECT_EQ(keyCount("c.nscene", "hue"), 0u);
    EXPECT_EQ(sceneValue("c.nscene", "hue"), 0.0);
}

TEST_F(SceneSafety, AnInterruptedFrameRangeLeavesNoTemporaryFile) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX-only: SIGTERM and SIGHUP";
#else
    runOk({"scene", "new", "s.nscene"});
    // Stopped at different moments, by each signal that ends a program.
    for (const char* signal : {"TERM", "HUP"}) {
        for (const char* delay : {"0.15", "0.3", "0.45", "0.6"}) {
            SCOPED_TRACE(std::string(signal) + " after " + delay + " s");
            const RunResult result = shell(
                "\"$0\" scene render s.nscene --size 48 --frames 0-2000 -o f.png & p=$!; sleep " +
                std::string(delay) + "; kill -" + signal + " $p; wait $p; [ $? -gt 128 ]");
            EXPECT_EQ(result.exitCode, 0) << "the render was not stopped: " << describe(result);
            for (const std::string& name : entries()) {
                EXPECT_EQ(name.find(".saving-"), std::string::npos) << name;
            }
        }
    }
#endif
}

TEST_F(SceneSafety, ScenesAreReadOnlyFromRegularFilesOfBoundedSize) {
    fs::create_directory(file("folder"));
    {
        std::ofstream sparse(file("huge.nscene"), std::ios::binary);
        sparse.seekp((std::streamoff{3} << 30) - 1);
        sparse.put('\0');
    }
    std::vector<std::pair<std::string, std::string>> cases = {
        {"folder", "it is a directory"},
        {"huge.nscene", "more than the"},
    };
#ifndef _WIN32
    // POSIX-only: a FIFO, and a stand-in for /dev/zero, which never ends.
    ASSERT_EQ(::mkfifo(file("pipe").c_str(), 0644), 0);
    cases.emplace_back("pipe", "not a regular file");
    if (::geteuid() == 0 &&
        ::mknod(file("zero").c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0) {
        cases.emplace_back("zero", "not a regular file");
    }
#else
    // The null device, which every folder names.
    cases.emplace_back("NUL", "not a regular file");
#endif
    for (const auto& [name, message] : cases) {
        SCOPED_TRACE(name);
        for (const char* action : {"show", "set"}) {
            std::vector<std::string> arguments{"scene", action, name};
            if (std::string(action) == "set") arguments.push_back("hue=1");
            const RunResult result = run(arguments);
            EXPECT_EQ(result.exitCode, 1) << describe(result);
            EXPECT_NE(result.err.find(message), std::string::npos) << describe(result);
        }
    }
}

/// Replaces the one float `from` in the file's bytes by `to`.
void patchFloat(std::vector<unsigned char>& bytes, float from, float to) {
    unsigned char pattern[4], replacement[4];
    std::memcpy(pattern, &from, 4);
    std::memcpy(replacement, &to, 4);
    const auto at = std::search(bytes.begin(), bytes.end(), pattern, pattern + 4);
    ASSERT_NE(at, bytes.end()) << from;
    std::copy(replacement, replacement + 4, at);
}

TEST_F(SceneSafety, ValuesOutsideTheirRangeAreClampedOnLoadingWithANote) {
    struct Case {
        float gamma, satKey;
        float gammaShown, satShown;
    };
    // The ranges are the module's own (nacrelle info): gamma 0.05 to 20, sat -100 to 100.
    for (const Case& c : {Case{0.0f, -1000.0f, 0.05f, -100.0f}, Case{-5.0f, 1000.0f, 0.05f, 100.0f},
                          Case{1e30f, -1e30f, 20.0f, -100.0f}}) {
        SCOPED_TRACE(c.gamma);
        runOk({"scene", "new", "s.nscene", "--force", "--set", "gamma=7.125", "--key",
               "sat@10=77.25"});
        std::vector<unsigned char> bytes = readBytes("s.nscene");
        patchFloat(bytes, 7.125f, c.gamma);
        patchFloat(bytes, 77.25f, c.satKey);
        std::ofstream(file("s.nscene"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

        const RunResult shown = run({"scene", "show", "s.nscene", "--json"});
        ASSERT_EQ(shown.exitCode, 0) << describe(shown);
        const nlohmann::json map = nlohmann::json::parse(shown.out)["map"]["parameters"];
        EXPECT_EQ(map["gamma"]["value"].get<float>(), c.gammaShown);
        EXPECT_EQ(map["sat"]["keys"].back()["value"].get<float>(), c.satShown);
        EXPECT_NE(shown.err.find("note: s.nscene: gamma"), std::string::npos) << shown.err;
        EXPECT_NE(shown.err.find("note: s.nscene: sat@10"), std::string::npos) << shown.err;
    }
}

}  // namespace
}  // namespace nacrelle::tools::testing
