// Runs the built `nacrelle` program as a user would: in a directory of its
// own, with its own environment, capturing what it prints and how it ends.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace nacrelle::tools::testing {

struct RunResult {
    int exitCode = -1;  ///< 128 + signal number when a signal ended the program
    std::string out;
    std::string err;
};

/// A change to the child's environment: a variable set, or removed when the
/// value is absent.
struct EnvironmentChange {
    std::string name;
    std::optional<std::string> value;
};

/// Runs `program` with `arguments` in `directory` and waits for it. The
/// child's environment is the test's, changed by `environment`.
RunResult runProgram(const std::filesystem::path& program,
                     const std::vector<std::string>& arguments,
                     const std::filesystem::path& directory,
                     const std::vector<EnvironmentChange>& environment = {});

/// The built program and module.
std::filesystem::path programPath();
std::filesystem::path modulePath();

/// A test with a fresh, empty working directory (removed afterwards) in
/// which it runs the program. $NACRELLE_PLUGIN is cleared for every run, so
/// the program finds the module next to itself unless a test says otherwise.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    RunResult run(const std::vector<std::string>& arguments,
                  std::vector<EnvironmentChange> environment = {}) const;
    /// Runs and expects success (exit code 0 and nothing on standard error).
    RunResult runOk(const std::vector<std::string>& arguments) const;

    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path file(const std::string& name) const { return dir_ / name; }
    /// The names of everything in the working directory, hidden files too.
    std::set<std::string> entries() const;
    std::vector<unsigned char> readBytes(const std::string& name) const;

private:
    std::filesystem::path dir_;
};

/// Describes a run for failure messages.
std::string describe(const RunResult& result);

}  // namespace nacrelle::tools::testing
