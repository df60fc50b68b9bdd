// Render threads evaluate the same maps at once between updates, as the host
// does: every thread must see exactly what one thread alone sees, and
// ThreadSanitizer must find nothing (evaluation only reads the maps).
#include <gtest/gtest.h>
#include <imtl.h>
#include <sdk/class_directory.h>
#include <modules/module_loader.h>
#include <maps/shade_context.h>

#include <barrier>
#include <bit>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "tests/reliability/reliability_support.h"

namespace nacrelle::reliability {
namespace {

constexpr int kThreads = 4;
constexpr int kSamples = 1500;

struct Sample {
    Point3 normal, view, point, uvw;
};

/// Everything one evaluation gives back, compared bit for bit.
struct Result {
    std::uint32_t bits[9];
    int gbufferId;
    friend bool operator==(const Result&, const Result&) = default;
};

std::vector<Sample> MakeSamples() {
    std::vector<Sample> samples;
    std::uint32_t state = 0x9E3779B9u;
    auto next = [&] {  // xorshift32 over [-1, 1)
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
    };
    for (int i = 0; i < kSamples; ++i) {
        Point3 n(next(), next(), next());
        const float length = n.Length();
        n = length > 1e-3f ? n / length : Point3(0, 0, 1);
        const Point3 v = Point3(next() * 0.5f, next() * 0.5f, -1.0f).Normalize();
        samples.push_back({n, v, Point3(next() * 3, next() * 3, next() * 3),
                           Point3(next() * 2, next() * 2, 0.0f)});
    }
    return samples;
}

Result Evaluate(Texmap& map, const Sample& s, standin::RenderShadeContext& sc, TimeValue t) {
    sc.SetTime(t);
    sc.SetSample(s.normal, s.view, s.point, s.uvw);
    const AColor c = map.EvalColor(sc);
    const float mono = map.EvalMono(sc);
    const Point3 bump = map.EvalNormalPerturb(sc);
    return {{std::bit_cast<std::uint32_t>(c.r), std::bit_cast<std::uint32_t>(c.g),
             std::bit_cast<std::uint32_t>(c.b), std::bit_cast<std::uint32_t>(c.a),
             std::bit_cast<std::uint32_t>(mono), std::bit_cast<std::uint32_t>(bump.x),
             std::bit_cast<std::uint32_t>(bump.y), std::bit_cast<std::uint32_t>(bump.z), 0},
            sc.GBufferID()};
}

class ConcurrentEvaluation : public ::testing::Test {
protected:
    void SetUp() override {
        module = std::make_unique<standin::LoadedModule>(ModulePath());
        scene = std::make_unique<standin::Scene>();
        WriteGreyPng(scratch / "thickness.png", 13, 7);
    }
    void TearDown() override {
        scene.reset();  // the maps' code lives in the module
        module.reset();
    }

    Texmap& NewMap() {
        auto* map = static_cast<Texmap*>(standin::CreateInstance(module->Classes()[0]));
        scene->Add(map);
        return *map;
    }

    ScratchDir scratch;
    std::unique_ptr<standin::LoadedModule> module;
    std::unique_ptr<standin::Scene> scene;
};

TEST_F(ConcurrentEvaluation, RenderThreadsSeeWhatOneThreadSeesAfterEveryUpdate) {
    // Coating maps driven by noise, by a bitmap and by a gradient; the noise
    // and the bitmap are also evaluated on their own, by the same threads.
    Texmap& onNoise = NewMap();
    Texmap& noise = PlugThicknessMap(onNoise, "noise");
    onNoise.SetGBufID(7);
    Texmap& onBitmap = NewMap();
    Texmap& bitmap = PlugThicknessMap(onBitmap, "bitmap:" + (scratch / "thickness.png").string());
    SetParam(onBitmap, "nfilm", "2.4");
    Texmap& onGradient = NewMap();
    PlugThicknessMap(onGradient, "gradient");
    SetParam(onGradient, "hue", "75");
    SetParam(onGradient, "sat", "-40");
    SetParam(onGradient, "gamma", "2.2");
    SetKey(onGradient, "thicknessmin", "900", 20 * 160);  // "Max:" row, animated
    // The scene holds the sub-maps too, so that they outlive being unplugged.
    scene->Add(&noise);
    scene->Add(&bitmap);
    const std::vector<Texmap*> maps = {&onNoise, &onBitmap, &onGradient, &noise, &bitmap};

    // Between rounds the host changes values, time and sub-maps, then updates.
    const std::vector<std::function<void()>> edits = {
        [] {},
        [&] {
            SetParam(onNoise, "gamma", "0.4");
            SetParam(noise, "phase", "0.37");
            SetParam(bitmap, "tilingu", "3.5");
        },
        [&] { SetParam(onBitmap, "thicknessmapenabled", "off"); },
        [&] {
            onNoise.SetSubTexmap(0, nullptr);
            SetParam(onBitmap, "thicknessmapenabled", "on");
            SetParam(onGradient, "ninternal", "1.9");
        },
    };
    const std::vector<TimeValue> times = {0, 0, 10 * 160, 15 * 160};

    const std::vector<Sample> samples = MakeSamples();
    const std::size_t work = maps.size() * samples.size();
    std::vector<Result> expected(work);
    std::vector<std::vector<Result>> seen(kThreads, std::vector<Result>(work));
    TimeValue now = 0;
    bool stop = false;
    std::barrier start(kThreads + 1), done(kThreads + 1);

    std::vector<std::thread> threads;
    for (int k = 0; k < kThreads; ++k) {
        threads.emplace_back([&, k] {
            standin::RenderShadeContext sc;  // one context per render thread
            for (;;) {
                start.arrive_and_wait();
                if (stop) return;
                // Each thread starts elsewhere, so that all maps are busy at once.
                for (std::size_t j = 0; j < work; ++j) {
                    const std::size_t w = (j + k * work / kThreads) % work;
                    seen[k][w] =
                        Evaluate(*maps[w / samples.size()], samples[w % samples.size()], sc, now);
                }
                done.arrive_and_wait();
            }
        });
    }

    for (std::size_t round = 0; round < edits.size(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        edits[round]();
        now = times[round];
        for (Texmap* map : maps) {
            Interval valid = FOREVER;
            map->Update(now, valid);
        }
        const std::vector<Result> previous = expected;
        standin::RenderShadeContext sc;
        for (std::size_t w = 0; w < work; ++w) {
            expected[w] = Evaluate(*maps[w / samples.size()], samples[w % samples.size()], sc, now);
        }
        // Each round's edits and time really change what the maps give.
        if (round > 0) {
            EXPECT_TRUE(expected != previous) << "the edits changed nothing";
        }

        start.arrive_and_wait();
        done.arrive_and_wait();
        for (int k = 0; k < kThreads; ++k) {
            int mismatches = 0;
            for (std::size_t w = 0; w < work; ++w) {
                if (!(seen[k][w] == expected[w]) && ++mismatches <= 3) {
                    ADD_FAILURE() << "thread " << k << ", map " << w / samples.size() << ", sample "
                                  << w % samples.size()
                                  << " differs from the single-threaded result";
                }
            }
            EXPECT_EQ(mismatches, 0) << "thread " << k;
        }
    }
    stop = true;
    start.arrive_and_wait();
    for (std::thread& thread : threads) thread.join();
}

}  // namespace
}  // namespace nacrelle::reliability
