#include "maps/grey_maps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "png_test_writer.h"
#include "sdk/animation.h"
#include "sdk/class_directory.h"
#include "maps/gradient_noise.h"
#include "params/param_access.h"
#include "sdk/remap_dir.h"
#include "scene/scene_file.h"
#include "maps/shade_context.h"

namespace {

using standin::GreyBitmapMap;
using standin::GreyConstantMap;
using standin::GreyGradientMap;
using standin::GreyMap;
using standin::GreyNoiseMap;
using standin::RenderShadeContext;

const Point3 kNormal(0.0f, 0.0f, 1.0f);
const Point3 kView(0.0f, 0.0f, -1.0f);

float monoAt(Texmap& map, Point3 uvw, Point3 p = Point3()) {
    RenderShadeContext sc;
    sc.SetSample(kNormal, kView, p, uvw);
    return map.EvalMono(sc);
}

float noiseAt(Texmap& map, Point3 p) { return monoAt(map, Point3(), p); }

void set(Texmap& map, ParamID id, float value, TimeValue t = 0) {
    ASSERT_TRUE(map.GetParamBlock(0)->SetValue(id, t, value));
}

// Owns a map the way a scene would, deleting it at the end of the test.
template <class Map>
struct Owned {
    Map* map = new Map();
    ~Owned() {
        if (map) map->DeleteMe();
    }
    Map* operator->() const { return map; }
    Map& operator*() const { return *map; }
};

// Points spread over a few noise cells, deterministic.
std::vector<Point3> samplePoints(int count) {
    std::vector<Point3> points;
    for (int i = 0; i < count; ++i) {
        points.emplace_back(0.37f * i - 11.0f, 0.23f * (i % 97) - 9.5f, 0.051f * (i % 389));
    }
    return points;
}

// ---- Registration ----------------------------------------------------------------

TEST(GreyMaps, AreRegisteredAndCreatableByClassID) {
    struct Case {
        ClassDesc2* desc;
        Class_ID id;
        const MCHAR* internalName;
        const char* scriptName;
    };
    const Case cases[] = {
        {standin::GreyGradientDesc(), standin::kGreyGradientClassID, L"GreyGradient", "end"},
        {standin::GreyNoiseDesc(), standin::kGreyNoiseClassID, L"GreyNoise", "thresholdhigh"},
        {standin::GreyBitmapDesc(), standin::kGreyBitmapClassID, L"GreyBitmap", "tilingv"},
        {standin::GreyConstantDesc(), standin::kGreyConstantClassID, L"GreyConstant", "value"},
    };
    standin::ClassDirectory& directory = standin::ClassDirectory::Instance();
    for (const Case& c : cases) {
        SCOPED_TRACE(WStr(c.internalName).ToUTF8());
        EXPECT_EQ(directory.Find(TEXMAP_CLASS_ID, c.id), c.desc);
        EXPECT_EQ(directory.FindByName(c.internalName), c.desc);
        EXPECT_TRUE(standin::ParamBlockDefinitionErrors(c.desc).empty());
        Animatable* object = directory.Create(TEXMAP_CLASS_ID, c.id, TRUE);
        ASSERT_NE(object, nullptr);
        auto* map = static_cast<Texmap*>(object);
        EXPECT_EQ(map->ClassID(), c.id);
        EXPECT_EQ(map->SuperClassID(), static_cast<SClass_ID>(TEXMAP_CLASS_ID));
        ASSERT_NE(map->GetParamBlock(0), nullptr);
        EXPECT_NE(standin::FindParamByScriptName(*map->GetParamBlock(0), c.scriptName), nullptr);
        EXPECT_EQ(map->GetParamBlock(0)->GetLocalName(0).isNull(), false);
        map->DeleteMe();
    }
}

// ---- Gradient ---------------------------------------------------------------------

TEST(GreyGradient, EndpointsMidpointsAndClamping) {
    struct Case {
        int axis;
        float start, end;
        Point3 uvw;
        float expected;
    };
    const Case cases[] = {
        {0, 0.0f, 1.0f, Point3(0.0f, 0.7f, 0.0f), 0.0f},  // defaults: U from 0 to 1
        {0, 0.0f, 1.0f, Point3(1.0f, 0.7f, 0.0f), 1.0f},
        {0, 0.0f, 1.0f, Point3(0.5f, 0.7f, 0.0f), 0.5f},
        {0, 0.0f, 1.0f, Point3(0.25f, 0.0f, 0.0f), 0.25f},
        {0, 0.2f, 0.8f, Point3(0.0f, 0.0f, 0.0f), 0.2f},  // ends are exact
        {0, 0.2f, 0.8f, Point3(1.0f, 0.0f, 0.0f), 0.8f},
        {0, 0.2f, 0.8f, Point3(0.5f, 0.0f, 0.0f), 0.5f},
        {0, 0.2f, 0.8f, Point3(-3.0f, 0.0f, 0.0f), 0.2f},  // beyond the edges the ends hold
        {0, 0.2f, 0.8f, Point3(7.5f, 0.0f, 0.0f), 0.8f},
        {1, 3.0f, -1.0f, Point3(0.9f, 0.0f, 0.0f), 3.0f},  // along V, any values
        {1, 3.0f, -1.0f, Point3(0.9f, 1.0f, 0.0f), -1.0f},
        {1, 3.0f, -1.0f, Point3(0.9f, 0.75f, 0.0f), 0.0f},
        {1, 3.0f, -1.0f, Point3(0.0f, NAN, 0.0f), 3.0f},  // no coordinate: the start
    };
    Owned<GreyGradientMap> map;
    for (const Case& c : cases) {
        ASSERT_TRUE(map->GetParamBlock(0)->SetValue(standin::gradient_axis, 0, c.axis));
        set(*map, standin::gradient_start, c.start);
        set(*map, standin::gradient_end, c.end);
        EXPECT_EQ(monoAt(*map, c.uvw), c.expected)
            << "axis " << c.axis << " at (" << c.uvw.x << ", " << c.uvw.y << ")";
    }
}

TEST(GreyGradient, AnimatedEndFollowsUpdateTime) {
    Owned<GreyGradientMap> map;
    const TimeValue frame = GetTicksPerFrame();
    {
        standin::AnimateScope animate;
        set(*map, standin::gradient_end, 1.0f, 0);
        set(*map, standin::gradient_end, 3.0f, 10 * frame);
    }
    Interval valid = FOREVER;
    map->Update(5 * frame, valid);
    EXPECT_EQ(valid, Interval(5 * frame, 5 * frame));
    EXPECT_EQ(monoAt(*map, Point3(1.0f, 0.0f, 0.0f)), 2.0f);
    valid = FOREVER;
    map->Update(12 * frame, valid);
    EXPECT_EQ(monoAt(*map, Point3(1.0f, 0.0f, 0.0f)), 3.0f);
    EXPECT_EQ(valid, Interval(10 * frame, TIME_PosInfinity));
}

// ---- Constant ---------------------------------------------------------------------

TEST(GreyConstant, AnyValueComesBackExactly) {
    Owned<GreyConstantMap> map;
    EXPECT_EQ(monoAt(*map, Point3(0.3f, 0.3f, 0.0f)), 0.0f);
    for (float value : {0.5f, 2.5f, -0.75f, 1000.0f, 0.1f}) {
        set(*map, standin::constant_value, value);
        EXPECT_EQ(monoAt(*map, Point3(0.9f, 0.1f, 0.0f)), value);
        RenderShadeContext sc;
        const AColor c = map->EvalColor(sc);
        EXPECT_EQ(c, AColor(value, value, value, 1.0f));
        EXPECT_EQ(map->EvalNormalPerturb(sc), Point3());
    }
    EXPECT_EQ(map->Validity(0), FOREVER);
}

// ---- Noise -------------------------------------------------------------------------

TEST(GradientNoise, LatticeZerosPeriodBoundsAndContinuity) {
    for (int x = -3; x <= 3; ++x) {
        EXPECT_EQ(standin::GradientNoise4(x, 2 * x, -x, 7), 0.0);
    }
    double lowest = 0.0, highest = 0.0;
    for (const Point3& p : samplePoints(20000)) {
        const double n = standin::GradientNoise4(p.x, p.y, p.z, 0.25);
        lowest = std::min(lowest, n);
        highest = std::max(highest, n);
        EXPECT_EQ(n, standin::GradientNoise4(p.x + 256.0, p.y - 512.0, p.z, 256.25));
        // Smooth: a step of 1e-6 moves the value by well under 1e-4.
        EXPECT_NEAR(standin::GradientNoise4(p.x + 1e-6, p.y, p.z, 0.25), n, 1e-4);
    }
    EXPECT_GE(lowest, -1.0);
    EXPECT_LE(highest, 1.0);
    EXPECT_LT(lowest, -0.5);  // the scale uses most of [-1, 1]
    EXPECT_GT(highest, 0.5);
    EXPECT_EQ(standin::GradientNoise4(NAN, 0.0, 0.0, 0.0), 0.0);
    EXPECT_EQ(standin::GradientNoise4(0.5, INFINITY, 0.0, 0.0), 0.0);
    EXPECT_EQ(standin::GradientNoise4(1.5e300, -2.5e300, 0.25, 0.0),
              standin::GradientNoise4(0.0, 0.0, 0.25, 0.0));
}

TEST(GreyNoise, StaysInUnitRangeAndIsDeterministic) {
    Owned<GreyNoiseMap> a;
    Owned<GreyNoiseMap> b;
    float lowest = 1.0f, highest = 0.0f;
    for (const Point3& p : samplePoints(5000)) {
        const float v = noiseAt(*a, p);
        EXPECT_GE(v, 0.0f);
        EXPECT_LE(v, 1.0f);
        EXPECT_EQ(noiseAt(*b, p), v);  // another map, same parameters
        EXPECT_EQ(noiseAt(*a, p), v);  // the same map again
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    EXPECT_LT(lowest, 0.3f);
    EXPECT_GT(highest, 0.7f);
}

TEST(GreyNoise, SizePhaseAndLevelsDriveTheFractalSum) {
    Owned<GreyNoiseMap> map;
    struct Case {
        float size, phase, levels;
    };
    const Case cases[] = {{0.5f, 0.0f, 3.0f},
                          {2.0f, 0.0f, 1.0f},
                          {0.1f, 4.25f, 1.0f},
                          {1.0f, -2.5f, 5.5f},
                          {3.0f, 0.75f, 10.0f}};
    for (const Case& c : cases) {
        set(*map, standin::noise_size, c.size);
        set(*map, standin::noise_phase, c.phase);
        set(*map, standin::noise_levels, c.levels);
        for (const Point3& p : samplePoints(200)) {
            const double n = standin::FractalNoise4(
                p.x / static_cast<double>(c.size), p.y / static_cast<double>(c.size),
                p.z / static_cast<double>(c.size), c.phase, c.levels);
            ASSERT_EQ(noiseAt(*map, p), static_cast<float>(0.5 * (n + 1.0)))
                << "size " << c.size << " phase " << c.phase << " levels " << c.levels;
        }
    }
    // One level is the plain noise.
    const Point3 p(1.3f, -0.7f, 2.2f);
    EXPECT_EQ(standin::FractalNoise4(p.x, p.y, p.z, 0.5, 1.0),
              standin::GradientNoise4(p.x, p.y, p.z, 0.5));
}

TEST(GreyNoise, LevelsAndPhaseChangeThePatternSmoothly) {
    Owned<GreyNoiseMap> map;
    const std::vector<Point3> points = samplePoints(400);
    auto values = [&] {
        std::vector<float> v;
        for (const Point3& p : points) v.push_back(noiseAt(*map, p));
        return v;
    };
    set(*map, standin::noise_levels, 2.0f);
    const std::vector<float> two = values();
    set(*map, standin::noise_levels, 2.001f);
    const std::vector<float> barelyMore = values();
    set(*map, standin::noise_levels, 3.0f);
    const std::vector<float> three = values();
    set(*map, standin::noise_levels, 2.0f);
    set(*map, standin::noise_phase, 0.5f);
    const std::vector<float> shifted = values();
    int changedByLevel = 0, changedByPhase = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_NEAR(barelyMore[i], two[i], 1e-3f);
        if (std::fabs(three[i] - two[i]) > 1e-3f) ++changedByLevel;
        if (std::fabs(shifted[i] - two[i]) > 1e-2f) ++changedByPhase;
    }
    EXPECT_GT(changedByLevel, 300);
    EXPECT_GT(changedByPhase, 300);
}

TEST(GreyNoise, ThresholdsStretchAndStep) {
    Owned<GreyNoiseMap> raw;
    Owned<GreyNoiseMap> stretched;
    set(*stretched, standin::noise_threshold_low, 0.4f);
    set(*stretched, standin::noise_threshold_high, 0.6f);
    Owned<GreyNoiseMap> stepped;
    set(*stepped, standin::noise_threshold_low, 0.5f);
    set(*stepped, standin::noise_threshold_high, 0.5f);
    Owned<GreyNoiseMap> swapped;  // given the wrong way round, as the same pair
    set(*swapped, standin::noise_threshold_low, 0.6f);
    set(*swapped, standin::noise_threshold_high, 0.4f);
    int below = 0, between = 0, above = 0;
    for (const Point3& p : samplePoints(3000)) {
        const double v = noiseAt(*raw, p);
        const float s = noiseAt(*stretched, p);
        if (v < 0.4) {
            EXPECT_EQ(s, 0.0f);
            ++below;
        } else if (v > 0.6) {
            EXPECT_EQ(s, 1.0f);
            ++above;
        } else {
            EXPECT_NEAR(s, (v - 0.4) / 0.2, 1e-5);
            ++between;
        }
        EXPECT_EQ(noiseAt(*swapped, p), s);
        EXPECT_EQ(noiseAt(*stepped, p), v < 0.5 ? 0.0f : 1.0f);
    }
    EXPECT_GT(below, 100);
    EXPECT_GT(between, 100);
    EXPECT_GT(above, 100);
}

// ---- Bitmap ---------------------------------------------------------------------

class GreyBitmapTest : public ::testing::Test {
protected:
    // A 4 x 2 linear 16-bit image: top row 0, 1/4, 1/2, 1; bottom row 1, 0 ...
    static constexpr unsigned kSamples[8] = {0, 16384, 32768, 65535, 65535, 0, 65535, 0};

    void SetUp() override {
        pngtest::PngSpec pngLayout{4, 2, PNG_COLOR_TYPE_GRAY, 16, {}, {}, 1.0};
        pngLayout.samples.assign(std::begin(kSamples), std::end(kSamples));
        imagePath = dir.Path() / "thickness.png";
        pngtest::WriteBytes(imagePath, pngtest::EncodePng(pngLayout));
    }

    static float pixel(int x, int y) { return static_cast<float>(kSamples[y * 4 + x] / 65535.0); }
    MSTR path() const { return WStr::FromUTF8(imagePath.string()); }

    pngtest::TempDir dir;
    std::filesystem::path imagePath;
};

TEST_F(GreyBitmapTest, SamplesTheImageBilinearly) {
    Owned<GreyBitmapMap> map;
    EXPECT_EQ(monoAt(*map, Point3(0.5f, 0.5f, 0.0f)), 0.0f);  // no image yet
    std::string error;
    ASSERT_TRUE(map->SetFileName(path(), error)) << error;
    EXPECT_EQ(map->GetFileName(), path());
    EXPECT_TRUE(map->ImageError().empty());
    // Pixel centres: u = (x + 0.5) / 4, v = 1 - (y + 0.5) / 2.
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            const Point3 uvw((x + 0.5f) / 4.0f, 1.0f - (y + 0.5f) / 2.0f, 0.0f);
            EXPECT_EQ(monoAt(*map, uvw), pixel(x, y)) << x << ", " << y;
        }
    }
    // Between centres: halfway along the top row from x = 1 to 2, and a
    // quarter of the way down from the top row's x = 3 to the bottom row's.
    EXPECT_EQ(monoAt(*map, Point3(0.5f, 0.75f, 0.0f)),
              static_cast<float>(0.5 * pixel(1, 0) + 0.5 * pixel(2, 0)));
    EXPECT_EQ(monoAt(*map, Point3(0.875f, 0.625f, 0.0f)),
              static_cast<float>(0.75 * pixel(3, 0) + 0.25 * pixel(3, 1)));
    // Tiling 2 across U repeats the image twice.
    set(*map, standin::bitmap_tiling_u, 2.0f);
    EXPECT_EQ(monoAt(*map, Point3(0.0625f, 0.75f, 0.0f)), pixel(0, 0));
    EXPECT_EQ(monoAt(*map, Point3(0.5625f, 0.75f, 0.0f)), pixel(0, 0));
    EXPECT_EQ(monoAt(*map, Point3(0.4375f, 0.25f, 0.0f)), pixel(3, 1));
    RenderShadeContext sc;
    sc.SetSample(kNormal, kView, Point3(), Point3(0.4375f, 0.75f, 0.0f));
    EXPECT_EQ(map->EvalColor(sc), AColor(1.0f, 1.0f, 1.0f, 1.0f));
}

TEST_F(GreyBitmapTest, BadFilesAreRefusedAndTheImageKept) {
    Owned<GreyBitmapMap> map;
    std::string error;
    ASSERT_TRUE(map->SetFileName(path(), error)) << error;
    const float before = monoAt(*map, Point3(0.375f, 0.75f, 0.0f));

    const auto missing = dir.Path() / "missing.png";
    const auto text = dir.Path() / "notes.png";
    const std::string words = "not an image";
    pngtest::WriteBytes(text, std::vector<std::uint8_t>(words.begin(), words.end()));
    const auto truncated = dir.Path() / "truncated.png";
    std::vector<std::uint8_t> bytes =
        pngtest::EncodePng({2, 2, PNG_COLOR_TYPE_GRAY, 8, {1, 2, 3, 4}});
    bytes.resize(bytes.size() - 20);
    pngtest::WriteBytes(truncated, bytes);

    struct Case {
        std::filesystem::path file;
        std::string problem;
    };
    const Case cases[] = {
        {missing, ": cannot open: No such file or directory"},
        {text, ": not a PNG file (no PNG signature at byte 0)"},
        {truncated, ": truncated: the file ends at byte " + std::to_string(bytes.size())},
    };
    for (const Case& c : cases) {
        error.clear();
        EXPECT_FALSE(map->SetFileName(WStr::FromUTF8(c.file.string()), error));
        EXPECT_EQ(error.rfind(c.file.string() + c.problem, 0), 0u) << error;
        EXPECT_EQ(map->GetFileName(), path());
        EXPECT_EQ(monoAt(*map, Point3(0.375f, 0.75f, 0.0f)), before);
    }
    // No file name: no image.
    EXPECT_TRUE(map->SetFileName(MSTR(), error));
    EXPECT_EQ(monoAt(*map, Point3(0.375f, 0.75f, 0.0f)), 0.0f);
}

// ---- Shared behaviour -------------------------------------------------------------

std::vector<std::function<GreyMap*()>> everyKind() {
    return {[] { return new GreyGradientMap(); }, [] { return new GreyNoiseMap(); },
            [] { return new GreyBitmapMap(); }, [] { return new GreyConstantMap(); }};
}

TEST(GreyMaps, ReportTheirGBufferIDOnlyWhenSet) {
    for (const auto& make : everyKind()) {
        GreyMap* map = make();
        RenderShadeContext sc;
        sc.SetGBufferID(3);
        map->EvalMono(sc);
        map->EvalColor(sc);
        map->EvalNormalPerturb(sc);
        EXPECT_EQ(sc.GBufferID(), 3);  // ID 0: the context keeps what it had
        map->SetGBufID(7);
        map->EvalMono(sc);
        EXPECT_EQ(sc.GBufferID(), 7);
        sc.SetGBufferID(0);
        map->EvalColor(sc);
        EXPECT_EQ(sc.out.gbufId, 7);
        sc.SetGBufferID(0);
        EXPECT_EQ(map->EvalNormalPerturb(sc), Point3());
        EXPECT_EQ(sc.GBufferID(), 7);
        map->DeleteMe();
    }
}

TEST(GreyMaps, ResetRestoresDefaults) {
    Owned<GreyGradientMap> map;
    set(*map, standin::gradient_start, 0.5f);
    ASSERT_TRUE(map->GetParamBlock(0)->SetValue(standin::gradient_axis, 0, 1));
    map->Reset();
    EXPECT_EQ(monoAt(*map, Point3(0.25f, 0.9f, 0.0f)), 0.25f);
}

TEST_F(GreyBitmapTest, ClonesShareNothing) {
    for (const auto& make : everyKind()) {
        GreyMap* source = make();
        source->SetName(L"Thickness variation");
        source->SetGBufID(12);
        std::string error;
        if (auto* bitmap = dynamic_cast<GreyBitmapMap*>(source)) {
            ASSERT_TRUE(bitmap->SetFileName(path(), error)) << error;
        }
        IParamBlock2* sourceBlock = source->GetParamBlock(0);
        ASSERT_TRUE(sourceBlock->SetValue(0, 0, 0.75f));  // every kind's parameter 0 is a float

        standin::CloneOnceRemapDir remap;
        auto* clone = static_cast<GreyMap*>(source->Clone(remap));
        ASSERT_NE(clone, nullptr);
        EXPECT_EQ(clone->ClassID(), source->ClassID());
        EXPECT_EQ(clone->GetName(), source->GetName());
        EXPECT_EQ(clone->GetGBufID(), 12u);
        IParamBlock2* cloneBlock = clone->GetParamBlock(0);
        ASSERT_NE(cloneBlock, nullptr);
        EXPECT_NE(cloneBlock, sourceBlock);
        EXPECT_EQ(cloneBlock->GetOwner(), clone);
        EXPECT_EQ(cloneBlock->GetFloat(0), 0.75f);

        const std::vector<Point3> points = samplePoints(20);
        for (const Point3& p : points) {
            const Point3 uvw(p.x * 0.1f, p.y * 0.1f, 0.0f);
            EXPECT_EQ(monoAt(*clone, uvw, p), monoAt(*source, uvw, p));
        }
        if (auto* bitmap = dynamic_cast<GreyBitmapMap*>(source)) {
            auto* copy = static_cast<GreyBitmapMap*>(clone);
            EXPECT_EQ(copy->GetFileName(), bitmap->GetFileName());
            EXPECT_EQ(copy->Image().pixels, bitmap->Image().pixels);
            EXPECT_NE(copy->Image().pixels.data(), bitmap->Image().pixels.data());
        }

        // Changing one changes nothing of the other.
        ASSERT_TRUE(cloneBlock->SetValue(0, 0, 0.25f));
        clone->SetName(L"Other");
        EXPECT_EQ(sourceBlock->GetFloat(0), 0.75f);
        EXPECT_EQ(source->GetName(), MSTR(L"Thickness variation"));
        source->DeleteMe();
        for (const Point3& p : points) monoAt(*clone, Point3(p.x, p.y, 0.0f), p);
        clone->DeleteMe();
    }
}

// ---- Scene files ---------------------------------------------------------------------

TEST_F(GreyBitmapTest, EveryMapRoundTripsThroughASceneFile) {
    const TimeValue frame = GetTicksPerFrame();
    standin::Scene scene;
    auto* gradient = new GreyGradientMap();
    set(*gradient, standin::gradient_start, 0.25f);
    ASSERT_TRUE(gradient->GetParamBlock(0)->SetValue(standin::gradient_axis, 0, 1));
    auto* noise = new GreyNoiseMap();
    set(*noise, standin::noise_size, 0.8f);
    set(*noise, standin::noise_threshold_low, 0.2f);
    {
        standin::AnimateScope animate;
        set(*noise, standin::noise_phase, 2.0f, 20 * frame);
    }
    noise->SetName(L"Swirl");
    noise->SetGBufID(5);
    auto* bitmap = new GreyBitmapMap();
    std::string error;
    ASSERT_TRUE(bitmap->SetFileName(path(), error)) << error;
    set(*bitmap, standin::bitmap_tiling_v, 3.0f);
    auto* constant = new GreyConstantMap();
    set(*constant, standin::constant_value, -2.5f);
    std::vector<GreyMap*> originals = {gradient, noise, bitmap, constant};
    for (GreyMap* map : originals) ASSERT_TRUE(scene.Add(map));

    const std::vector<std::uint8_t> bytes = standin::WriteSceneBytes(scene, "maps.scene");
    std::unique_ptr<standin::Scene> loaded = standin::ReadSceneBytes(bytes, "maps.scene");
    const std::vector<ReferenceTarget*> roots = loaded->Roots();
    ASSERT_EQ(roots.size(), originals.size());

    const std::vector<Point3> points = samplePoints(50);
    for (std::size_t i = 0; i < roots.size(); ++i) {
        auto* copy = dynamic_cast<GreyMap*>(roots[i]);
        ASSERT_NE(copy, nullptr);
        GreyMap* original = originals[i];
        EXPECT_NE(copy, original);
        EXPECT_EQ(copy->ClassID(), original->ClassID());
        EXPECT_EQ(copy->GetName(), original->GetName());
        EXPECT_EQ(copy->GetGBufID(), original->GetGBufID());
        for (TimeValue t : {0, 10 * frame, 30 * frame}) {
            Interval a = FOREVER, b = FOREVER;
            original->Update(t, a);
            copy->Update(t, b);
            EXPECT_EQ(a, b);
            for (const Point3& p : points) {
                const Point3 uvw(p.x * 0.05f, p.y * 0.05f, 0.0f);
                ASSERT_EQ(monoAt(*copy, uvw, p), monoAt(*original, uvw, p))
                    << "map " << i << " at time " << t;
            }
        }
    }
    auto* bitmapCopy = static_cast<GreyBitmapMap*>(roots[2]);
    EXPECT_EQ(bitmapCopy->GetFileName(), path());
    EXPECT_TRUE(bitmapCopy->ImageError().empty());

    // The image file gone: the scene still loads, and says what is missing.
    std::filesystem::remove(imagePath);
    std::unique_ptr<standin::Scene> orphaned = standin::ReadSceneBytes(bytes, "maps.scene");
    auto* lost = static_cast<GreyBitmapMap*>(orphaned->Roots()[2]);
    EXPECT_EQ(lost->GetFileName(), path());
    EXPECT_EQ(lost->ImageError(), imagePath.string() + ": cannot open: No such file or directory");
    EXPECT_EQ(monoAt(*lost, Point3(0.375f, 0.75f, 0.0f)), 0.0f);
}

// ---- Threads ---------------------------------------------------------------------

// Evaluation only reads: many threads at once see what one thread sees.
TEST_F(GreyBitmapTest, ConcurrentEvaluationMatchesSerial) {
    Owned<GreyNoiseMap> noise;
    Owned<GreyBitmapMap> bitmap;
    std::string error;
    ASSERT_TRUE(bitmap->SetFileName(path(), error)) << error;
    noise->SetGBufID(4);
    const std::vector<Point3> points = samplePoints(2000);
    auto evaluate = [&](std::vector<float>& out) {
        RenderShadeContext sc;
        for (const Point3& p : points) {
            sc.SetSample(kNormal, kView, p, Point3(p.x * 0.1f, p.y * 0.1f, 0.0f));
            out.push_back(noise->EvalMono(sc) + bitmap->EvalColor(sc).g);
        }
    };
    std::vector<float> serial;
    evaluate(serial);
    std::vector<std::vector<float>> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results) threads.emplace_back(evaluate, std::ref(result));
    for (std::thread& thread : threads) thread.join();
    for (const auto& result : results) EXPECT_EQ(result, serial);
}

}  // namespace
