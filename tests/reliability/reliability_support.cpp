#include "tests/reliability/reliability_support.h"

#include <gtest/gtest.h>
#include <iparamb2.h>
#include <sdk/animation.h>
#include <sdk/class_directory.h>
#include <maps/grey_maps.h>
#include <params/param_access.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>

#include "app/render/image.h"

namespace nacrelle::reliability {

std::filesystem::path ModulePath() { return NACRELLE_MODULE_PATH; }

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test ? test->name() : "test";
    std::replace(name.begin(), name.end(), '/', '_');  // parameterised tests
    path_ = std::filesystem::path(::testing::TempDir()) /
            ("nacrelle-reliability-" + std::to_string(::getpid()) + "-" + name + "-" +
             std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDir::Listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << file;
}

void WriteGreyPng(const std::filesystem::path& file, int width, int height) {
    tools::Image image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Linear values whose sRGB encoding spans the levels.
            const float level = static_cast<float>((x * 37 + y * 11) % 256) / 255.0f;
            image.set(x, y, {level, level, level, 1.0f});
        }
    }
    WriteBytes(file, tools::encodePng(image, tools::PngEncoding{8, false}));
}

void SetParam(Texmap& map, const std::string& name, const std::string& value, TimeValue t) {
    // As a script sets it: the module must not rely on the tools' checks.
    const double number = value == "on" ? 1.0 : value == "off" ? 0.0 : std::stod(value);
    std::string error;
    EXPECT_TRUE(standin::SetParamAsScript(*map.GetParamBlock(0), name, number, t, error))
        << name << " = " << value << ": " << error;
}

void SetKey(Texmap& map, const std::string& name, const std::string& value, TimeValue t) {
    const standin::AnimateScope animate;
    SetParam(map, name, value, t);
}

Texmap& PlugThicknessMap(Texmap& map, const std::string& kind) {
    ClassDesc2* desc = kind == "noise"      ? standin::GreyNoiseDesc()
                       : kind == "gradient" ? standin::GreyGradientDesc()
                       : kind == "constant" ? standin::GreyConstantDesc()
                                            : standin::GreyBitmapDesc();
    auto* sub = static_cast<Texmap*>(standin::CreateInstance(desc));
    EXPECT_NE(sub, nullptr) << kind;
    if (kind.rfind("bitmap:", 0) == 0) {
        std::string error;
        EXPECT_TRUE(static_cast<standin::GreyBitmapMap*>(sub)->SetFileName(
            MSTR::FromUTF8(kind.substr(7)), error))
            << error;
    }
    map.SetSubTexmap(0, sub);
    SetParam(map, "thicknessmapenabled", "on");
    return *sub;
}

}  // namespace nacrelle::reliability
