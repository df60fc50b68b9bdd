// Render threads evaluate the same maps at once between updates, as the host
// does: every thread must see exactly what one thread alone sees, and
// ThreadSanitizer must find nothing (evaluation only reads the maps' own
// fields: the host reports a parameter block read on a render thread).
#include <gtest/gtest.h>
#include <imtl.h>
#include <iparamb2.h>
#include <sdk/class_directory.h>
#include <modules/module_loader.h>
#include <maps/shade_context.h>
#include <sdk/render_evaluation.h>

#include <barrier>
#include <bit>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "tests/reliability/reliability_support.h"
#include "app/render/render.h"

namespace nacrelle::reliability {
namespace {

using tools::Image;
using tools::RenderOptions;
using tools::Rgba;
using tools::renderSwatch;

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

/// The fault the host's rule is there to catch: a map whose evaluation reads
/// a parameter block (here another map's gamma) instead of its own fields.
class BlockReadingMap final : public Texmap {
public:
    explicit BlockReadingMap(IParamBlock2& block) : block_(block) {}
    Class_ID ClassID() override { return Class_ID(0x7E57AB02, 1); }
    void GetClassName(MSTR& s, bool) const override { s = L"BlockReadingMap"; }
    void DeleteThis() override { delete this; }
    void Update(TimeValue, Interval&) override {}
    void Reset() override {}
    Interval Validity(TimeValue) override { return FOREVER; }
    ParamDlg* CreateParamDlg(HWND, IMtlParams*) override { return nullptr; }
    AColor EvalColor(ShadeContext&) override {
        const float gamma = block_.GetFloat(7, 0);
        return AColor(gamma, gamma, gamma, 1.0f);
    }
    Point3 EvalNormalPerturb(ShadeContext&) override { return Point3(); }
    RefTargetHandle Clone(RemapDir&) override { return nullptr; }

protected:
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_SUCCEED;
    }

private:
    IParamBlock2& block_;
};

RenderOptions SmallRender() {
    RenderOptions options;
    options.width = options.height = 24;
    options.threads = kThreads;
    options.showProgress = false;
    return options;
}

bool SamePixels(const Image& a, const Image& b) {
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const Rgba p = a.at(x, y), q = b.at(x, y);
            if (std::bit_cast<std::uint32_t>(p.r) != std::bit_cast<std::uint32_t>(q.r) ||
                std::bit_cast<std::uint32_t>(p.g) != std::bit_cast<std::uint32_t>(q.g) ||
                std::bit_cast<std::uint32_t>(p.b) != std::bit_cast<std::uint32_t>(q.b)) {
                return false;
            }
        }
    }
    return true;
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
            const standin::RenderEvaluationScope evaluating;  // a render thread of the host
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

TEST_F(ConcurrentEvaluation, KeyedGammaRendersItsTimeZeroValueAtEveryFrame) {
    // Keyed gamma is a controller on the host: render threads must not
    // evaluate it. Every frame shows gamma's value at time 0.
    Texmap& keyed = NewMap();
    SetKey(keyed, "gamma", "0.6", 0);
    SetKey(keyed, "gamma", "2.5", 10 * 160);
    SetKey(keyed, "thicknessmin", "350", 0);  // the frames differ
    SetKey(keyed, "thicknessmin", "700", 10 * 160);
    Texmap& fixed = NewMap();
    SetParam(fixed, "gamma", "0.6");
    SetKey(fixed, "thicknessmin", "350", 0);
    SetKey(fixed, "thicknessmin", "700", 10 * 160);
    Texmap& atEnd = NewMap();
    SetParam(atEnd, "gamma", "2.5");
    SetParam(atEnd, "thicknessmin", "700");
    for (const TimeValue t : {0, 5 * 160, 10 * 160, 20 * 160}) {
        SCOPED_TRACE("time " + std::to_string(t));
        const Image rendered = renderSwatch(keyed, t, SmallRender());
        EXPECT_TRUE(SamePixels(rendered, renderSwatch(fixed, t, SmallRender())));
        if (t >= 10 * 160) {
            EXPECT_FALSE(SamePixels(rendered, renderSwatch(atEnd, t, SmallRender())));
        }
    }
    EXPECT_TRUE(standin::EvaluationViolations().empty());
}

TEST_F(ConcurrentEvaluation, HostReportsABlockReadWhileARenderEvaluates) {
    Texmap& nacrelle = NewMap();
    auto* reading = new BlockReadingMap(*nacrelle.GetParamBlock(0));
    scene->Add(reading);
    // Outside a render (the panel, Update) a block read is what blocks are for.
    standin::RenderShadeContext sc;
    reading->EvalColor(sc);
    EXPECT_TRUE(standin::EvaluationViolations().empty());

    renderSwatch(*reading, 0, SmallRender());
    const std::vector<std::string> violations = standin::EvaluationViolations();
    standin::ClearEvaluationViolations();  // broken on purpose
    ASSERT_EQ(violations.size(), 1u);
    EXPECT_NE(violations[0].find("parameter \"gamma\" (ID 7) of block \"params\" of a Nacrelle map"),
              std::string::npos)
        << violations[0];
}

// An interactive renderer: render threads evaluate while the host's thread
// changes the film, the metal and the options and updates the map, for a
// bounded number of changes. Each sample sees old or new values, never a
// freed table (ASan) nor a race (TSan), and its colour stays in [0, 1].
TEST_F(ConcurrentEvaluation, AnInteractiveRenderMayUpdateWhileThreadsEvaluate) {
    Texmap& map = NewMap();
    PlugThicknessMap(map, "gradient");
    SetParam(map, "thicknessmapenabled", "on");
    SetParam(map, "thicknessmin", "1200");
    const std::vector<std::function<void(int)>> edits = {
        [&](int i) { SetParam(map, "nfilm", std::to_string(1.2 + 0.01 * (i % 90))); },
        [&](int i) { SetParam(map, "basemetal", std::to_string(i % 10)); },  // 9: no metal
        [&](int i) { SetParam(map, "spectral", i % 3 != 0 ? "on" : "off"); },
        [&](int i) { SetParam(map, "nmedium", std::to_string(1.0 + 0.05 * (i % 12))); },
        [&](int i) { SetParam(map, "physicalphase", i % 2 != 0 ? "on" : "off"); },
    };
    Interval valid = FOREVER;
    map.Update(0, valid);

    const std::vector<Sample> samples = MakeSamples();
    std::atomic<bool> stop = false;
    std::vector<int> outside(kThreads, 0), evaluated(kThreads, 0);
    std::vector<std::thread> threads;
    for (int k = 0; k < kThreads; ++k) {
        threads.emplace_back([&, k] {
            standin::RenderShadeContext sc;
            for (std::size_t i = k; !stop.load(std::memory_order_relaxed); i += kThreads) {
                const Sample& s = samples[i % samples.size()];
                sc.SetSample(s.normal, s.view, s.point, s.uvw);
                const AColor c = map.EvalColor(sc);
                for (const float value : {c.r, c.g, c.b, c.a}) {
                    if (!(value >= 0.0f && value <= 1.0f)) ++outside[k];
                }
                ++evaluated[k];
            }
        });
    }
    constexpr int kChanges = 400;
    for (int i = 0; i < kChanges; ++i) {
        edits[i % edits.size()](i);
        valid = FOREVER;
        map.Update(0, valid);
    }
    stop = true;
    for (std::thread& thread : threads) thread.join();
    for (int k = 0; k < kThreads; ++k) {
        EXPECT_EQ(outside[k], 0) << "thread " << k;
        EXPECT_GT(evaluated[k], 0) << "thread " << k;
    }
}

}  // namespace
}  // namespace nacrelle::reliability
