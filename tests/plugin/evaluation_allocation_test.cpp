// Evaluation allocates nothing: the map, its thickness map and its output
// filter are evaluated for a few thousand samples after an update while every
// heap allocation of the process (this program's, the host's and the loaded
// module's) is counted.
#include <gtest/gtest.h>
#include <imtl.h>
#include <sdk/animation.h>
#include <sdk/class_directory.h>
#include <maps/grey_maps.h>
#include <scene/scene.h>
#include <maps/shade_context.h>
#include <stdmat.h>

#include <cmath>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/plugin/allocation_counter.h"
#include "tests/plugin/module_fixture.h"

namespace nacrelle::testing {
namespace {

struct SampleGeometry {
    Point3 normal, view, uvw;
};

// 64 x 64 normals over the whole sphere, seen along -z: every viewing angle,
// both faces, and points spread over the noise.
std::vector<SampleGeometry> sphereSamples() {
    constexpr int kSteps = 64;
    const float pi = 3.14159265f;
    std::vector<SampleGeometry> samples;
    for (int i = 0; i < kSteps; ++i) {
        const float theta = pi * (static_cast<float>(i) + 0.5f) / kSteps;
        for (int j = 0; j < kSteps; ++j) {
            const float phi = 2.0f * pi * static_cast<float>(j) / kSteps;
            const Point3 normal(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi),
                                std::cos(theta));
            samples.push_back(
                {normal, Point3(0.0f, 0.0f, -1.0f),
                 Point3(static_cast<float>(j) / kSteps, static_cast<float>(i) / kSteps, 0.0f)});
        }
    }
    return samples;
}

// What drives the film thickness.
enum class ThicknessMap { none, noise, noiseSwitchedOff, gradient };

struct EvaluationCase {
    const char* name;
    ThicknessMap thicknessMap;
    bool animated;  // keys on gamma, hue and a thickness
    bool filtered;  // an output filter that changes every colour
    ULONG gBufferID;
};

const EvaluationCase kCases[] = {
    {"Plain", ThicknessMap::none, false, false, 0},
    {"NoiseThicknessMap", ThicknessMap::noise, false, false, 0},
    {"NoiseMapSwitchedOff", ThicknessMap::noiseSwitchedOff, false, false, 0},
    {"GradientThicknessMap", ThicknessMap::gradient, false, false, 0},
    {"AnimatedFilteredWithGBufferID", ThicknessMap::noise, true, true, 7},
};

class EvaluationAllocations : public ModuleTest,
                              public ::testing::WithParamInterface<EvaluationCase> {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        scene = std::make_unique<standin::Scene>();
        map = static_cast<Texmap*>(standin::CreateInstance(Descriptor()));
        ASSERT_NE(map, nullptr);
        ASSERT_TRUE(scene->Add(map));
        Configure(GetParam());
        Interval valid = FOREVER;
        map->Update(GetParam().animated ? 2400 : 0, valid);
    }
    void TearDown() override {
        // The map's code lives in the module: free it first.
        scene.reset();
        ModuleTest::TearDown();
    }

    void Configure(const EvaluationCase& c) {
        IParamBlock2& pb = *map->GetParamBlock(0);
        if (c.thicknessMap != ThicknessMap::none) {
            ClassDesc2* desc = c.thicknessMap == ThicknessMap::gradient
                                   ? standin::GreyGradientDesc()
                                   : standin::GreyNoiseDesc();
            map->SetSubTexmap(0, static_cast<Texmap*>(standin::CreateInstance(desc)));
            ASSERT_NE(map->GetSubTexmap(0), nullptr);
            const BOOL on = c.thicknessMap == ThicknessMap::noiseSwitchedOff ? FALSE : TRUE;
            ASSERT_TRUE(pb.SetValue(6, 0, on));
        }
        if (c.animated) {
            standin::AnimateScope animate;
            ASSERT_TRUE(pb.SetValue(7, 4800, 2.2f));    // gamma: read at time 0 on every call
            ASSERT_TRUE(pb.SetValue(8, 4800, 90.0f));   // hue
            ASSERT_TRUE(pb.SetValue(0, 4800, 900.0f));  // minimum thickness
        }
        if (c.filtered) {
            auto* output = static_cast<StdTexoutGen*>(map->GetReference(2));
            ASSERT_NE(output, nullptr);
            output->SetRGBAmt(1.3f, 0);
            output->SetRGBOff(-0.05f, 0);
            output->SetFlag(TEXOUT_INVERT | TEXOUT_CLAMP | TEXOUT_ALPHA_RGB, 1);
        }
        if (c.gBufferID != 0) map->SetGBufID(c.gBufferID);
    }

    /// Evaluates every sample the three ways a renderer asks a map; returns
    /// a checksum so that nothing is left out.
    float EvaluateAll(const std::vector<SampleGeometry>& samples) {
        standin::RenderShadeContext sc;
        float sum = 0.0f;
        for (const SampleGeometry& s : samples) {
            sc.SetSample(s.normal, s.view, s.normal, s.uvw);
            const AColor colour = map->EvalColor(sc);
            const float mono = map->EvalMono(sc);
            const Point3 bump = map->EvalNormalPerturb(sc);
            sum += colour.r + colour.g + colour.b + colour.a + mono + bump.x + bump.y + bump.z;
        }
        return sum;
    }

    std::unique_ptr<standin::Scene> scene;
    Texmap* map = nullptr;
};

TEST_P(EvaluationAllocations, NoneOnOneThread) {
    const std::vector<SampleGeometry> samples = sphereSamples();
    AllocationCount count;
    const float checksum = EvaluateAll(samples);
    const long made = count.Stop();
    EXPECT_EQ(made, 0) << "heap allocations while evaluating " << samples.size() << " samples";
    EXPECT_TRUE(std::isfinite(checksum));
}

// Render threads evaluate the same map at once; the threads start before the
// count does, so only the evaluation is counted.
TEST_P(EvaluationAllocations, NoneOnRenderThreads) {
    constexpr int kThreads = 4;
    const std::vector<SampleGeometry> samples = sphereSamples();
    std::latch start(1);
    std::vector<float> checksums(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            start.wait();
            checksums[static_cast<std::size_t>(i)] = EvaluateAll(samples);
        });
    }
    long made = 0;
    {
        AllocationCount count;
        start.count_down();
        for (std::thread& t : threads) t.join();
        made = count.Stop();
    }
    EXPECT_EQ(made, 0) << "heap allocations while " << kThreads << " threads evaluated";
    for (float checksum : checksums) EXPECT_EQ(checksum, checksums[0]);
}

INSTANTIATE_TEST_SUITE_P(Map, EvaluationAllocations, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<EvaluationCase>& info) {
                             return std::string(info.param.name);
                         });

// Creating a map allocates, in the module (the map) and in the host (its
// block): the count must see that, or zero above would prove nothing.
TEST_F(ModuleTest, AllocationCountSeesMapCreation) {
    auto scene = std::make_unique<standin::Scene>();
    long made = 0;
    {
        AllocationCount count;
        Animatable* created = standin::CreateInstance(Descriptor());
        made = count.Stop();
        ASSERT_NE(created, nullptr);
        scene->Add(static_cast<ReferenceTarget*>(created));
    }
    EXPECT_GT(made, 0);
    scene.reset();
}

}  // namespace
}  // namespace nacrelle::testing
