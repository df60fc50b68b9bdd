#include "program_run.h"

#include <fstream>
#include <iterator>
#include <random>

namespace nacrelle::tools::testing {

std::filesystem::path programPath() { return NACRELLE_PROGRAM; }
std::filesystem::path modulePath() { return NACRELLE_MODULE; }

void ProgramTest::SetUp() {
    std::random_device entropy;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
        const std::filesystem::path candidate =
            base / ("nacrelle-tools-test-" + std::to_string(entropy()));
        if (std::filesystem::create_directory(candidate)) dir_ = candidate;
    }
    ASSERT_FALSE(dir_.empty()) << "cannot create a working directory under " << base;
}

void ProgramTest::TearDown() {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

RunResult ProgramTest::run(const std::vector<std::string>& arguments,
                           std::vector<EnvironmentChange> environment) const {
    environment.insert(environment.begin(), EnvironmentChange{"NACRELLE_PLUGIN", std::nullopt});
    return runProgram(programPath(), arguments, dir_, environment);
}

RunResult ProgramTest::runOk(const std::vector<std::string>& arguments) const {
    RunResult result = run(arguments);
    EXPECT_EQ(result.exitCode, 0) << describe(result);
    EXPECT_EQ(result.err, "") << describe(result);
    return result;
}

std::set<std::string> ProgramTest::entries() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

std::vector<unsigned char> ProgramTest::readBytes(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string describe(const RunResult& result) {
    return "exit code " + std::to_string(result.exitCode) + "\n--- stdout:\n" + result.out +
           "--- stderr:\n" + result.err;
}

}  // namespace nacrelle::tools::testing
