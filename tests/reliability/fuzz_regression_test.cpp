// Replays every seed of the fuzz corpora and every input a fuzzer ever
// failed on (fuzz/regressions/<target>, named after what went wrong)
// through the fuzz targets' own checks, in every preset: a fixed reader
// stays fixed, under the sanitizers too.
#include <gtest/gtest.h>
#include <png/grey_image.h>
#include <png/png_grey_reader.h>
#include <modules/resources.h>
#include <scene/scene_file.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "fuzz/inputs/input_checks.h"
#include "tests/reliability/reliability_support.h"

namespace nacrelle::reliability {
namespace {

using Check = fuzzing::Finding (*)(std::span<const std::uint8_t>);

/// The inputs of one fuzz target in `folders`, sorted.
std::vector<std::filesystem::path> InputsOf(const std::string& target,
                                            std::initializer_list<const char*> folders = {
                                                "corpus", "regressions"}) {
    std::vector<std::filesystem::path> files;
    for (const char* folder : folders) {
        const std::filesystem::path dir =
            std::filesystem::path(NACRELLE_FUZZ_DIR) / folder / target;
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

void Replay(const std::string& target, Check check) {
    const std::vector<std::filesystem::path> files = InputsOf(target);
    EXPECT_FALSE(files.empty()) << "no seeds for " << target;
    for (const std::filesystem::path& file : files) {
        EXPECT_EQ(check(ReadBytes(file)), "") << file;
    }
}

class FuzzInputs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { fuzzing::UseModule(ModulePath()); }
};

// The seeds are sound files, so that fuzzing starts deep inside each format.

TEST_F(FuzzInputs, SceneFiles) {
    Replay("scene_file_fuzzer", fuzzing::CheckSceneBytes);
    for (const auto& file : InputsOf("scene_file_fuzzer", {"corpus"})) {
        EXPECT_NO_THROW(standin::ReadSceneBytes(ReadBytes(file), file.string())) << file;
    }
}

TEST_F(FuzzInputs, ResourceImages) {
    Replay("resource_image_fuzzer", fuzzing::CheckResourceImage);
    for (const auto& file : InputsOf("resource_image_fuzzer", {"corpus"})) {
        EXPECT_FALSE(standin::ParseModuleResources(ReadBytes(file)).Entries().empty()) << file;
    }
}

TEST_F(FuzzInputs, PngThicknessMaps) {
    Replay("png_thickness_map_fuzzer", fuzzing::CheckPngBytes);
    for (const auto& file : InputsOf("png_thickness_map_fuzzer", {"corpus"})) {
        standin::GreyImage image;
        std::string error;
        EXPECT_TRUE(standin::DecodePngGrey(ReadBytes(file), file.string(), image, error)) << error;
    }
}

TEST_F(FuzzInputs, BlockValues) { Replay("block_values_fuzzer", fuzzing::CheckBlockValues); }
TEST_F(FuzzInputs, CommandValues) { Replay("command_values_fuzzer", fuzzing::CheckCommandValues); }
#ifdef NACRELLE_WITH_STUDIO
TEST_F(FuzzInputs, StudioRequests) { Replay("studio_requests_fuzzer", fuzzing::CheckStudioRequests); }
#endif

}  // namespace
}  // namespace nacrelle::reliability
