// Stored parameter values: whatever a script or a scene file puts in the
// map's block, the map updates and evaluates, on several threads at once, to
// colours in [0, 1].
#include <imtl.h>
#include <iparamb2.h>
#include <maps/grey_maps.h>
#include <maps/shade_context.h>
#include <scene/scene.h>
#include <sdk/class_directory.h>

#include <array>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "fuzz/inputs/input_checks.h"
#include "fuzz/inputs/module_session.h"

namespace nacrelle::fuzzing {
namespace {

// The block's value parameters: the eight floats, the map switch and the
// three optics options. A record's first byte picks one, modulo their count.
struct StoredParameter {
    ParamID id;
    bool isFloat;
};
constexpr std::array<StoredParameter, 12> kParameters = {{
    {0, true}, {1, true}, {2, true}, {3, true}, {4, true}, {7, true}, {8, true}, {9, true},
    {6, false}, {11, false}, {12, false}, {13, false},
}};
constexpr std::size_t kRecordBytes = 5;
constexpr int kThreads = 2;

struct Sample {
    Point3 normal, uvw;
};
// Head on, oblique, near grazing, grazing, unnormalised and degenerate, at
// gradient values across and beyond [0, 1].
const std::array<Sample, 7> kSamples = {{
    {{0.0f, 0.0f, 1.0f}, {0.5f, 0.0f, 0.0f}},
    {{0.0f, 0.6f, 0.8f}, {0.5f, 0.3f, 0.0f}},
    {{0.0f, 0.999f, 0.0447f}, {0.5f, 0.9f, 0.0f}},
    {{1.0f, 0.0f, 0.0f}, {0.5f, 1.0f, 0.0f}},
    {{0.0f, 0.0f, 1.7f}, {0.5f, 0.5f, 0.0f}},
    {{0.0f, 0.0f, 0.0f}, {0.5f, 0.2f, 0.0f}},
    {{0.577f, 0.577f, 0.577f}, {0.5f, 0.7f, 0.0f}},
}};

using Colours = std::array<AColor, kSamples.size()>;

Colours Evaluate(Texmap& map) {
    Colours colours;
    standin::RenderShadeContext sc;
    for (std::size_t i = 0; i < kSamples.size(); ++i) {
        sc.SetSample(kSamples[i].normal, Point3(0.0f, 0.0f, -1.0f), Point3(0.0f, 0.0f, 0.0f),
                     kSamples[i].uvw);
        colours[i] = map.EvalColor(sc);
    }
    return colours;
}

bool Same(const AColor& a, const AColor& b) {
    return std::bit_cast<std::uint32_t>(a.r) == std::bit_cast<std::uint32_t>(b.r) &&
           std::bit_cast<std::uint32_t>(a.g) == std::bit_cast<std::uint32_t>(b.g) &&
           std::bit_cast<std::uint32_t>(a.b) == std::bit_cast<std::uint32_t>(b.b) &&
           std::bit_cast<std::uint32_t>(a.a) == std::bit_cast<std::uint32_t>(b.a);
}

/// Render threads that live as long as the process and evaluate the map of
/// each input when asked, both at once: starting threads for every input
/// would cost more than the check. Never destroyed: at exit the threads wait
/// on a condition, and a process ending on Windows stops them before static
/// destructors run, so no destructor may wait for them.
class RenderThreads {
public:
    static RenderThreads& Shared() {
        static RenderThreads* const threads = new RenderThreads;
        return *threads;
    }

    /// What each thread saw of `map`.
    const std::array<Colours, kThreads>& EvaluateAtOnce(Texmap& map) {
        std::unique_lock<std::mutex> lock(mutex_);
        map_ = &map;
        pending_ = kThreads;
        ++round_;
        wake_.notify_all();
        done_.wait(lock, [this] { return pending_ == 0; });
        return seen_;
    }

private:
    RenderThreads() {
        for (int k = 0; k < kThreads; ++k) std::thread([this, k] { Run(k); }).detach();
    }

    void Run(int k) {
        std::uint64_t round = 0;
        for (;;) {
            Texmap* map = nullptr;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [&] { return round_ != round; });
                round = round_;
                map = map_;
            }
            const Colours colours = Evaluate(*map);  // both threads at once
            std::lock_guard<std::mutex> lock(mutex_);
            seen_[k] = colours;
            if (--pending_ == 0) done_.notify_one();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::uint64_t round_ = 0;
    int pending_ = 0;
    Texmap* map_ = nullptr;
    std::array<Colours, kThreads> seen_;
};

/// One map for every input, reset before each, with a gradient thickness map
/// for the switch to turn on.
Texmap& TheMap() {
    static Texmap* map = [] {
        Texmap& created = ModuleSession().createMap();
        auto* gradient =
            static_cast<Texmap*>(standin::CreateInstance(standin::GreyGradientDesc()));
        ModuleSession().scene().Add(gradient);  // outlives the map's resets
        gradient->GetParamBlock(0)->SetValue(2, 0, 1);  // along V
        created.SetSubTexmap(0, gradient);
        return &created;
    }();
    return *map;
}

}  // namespace

Finding CheckBlockValues(std::span<const std::uint8_t> bytes) {
    Texmap& map = TheMap();
    IParamBlock2& block = *map.GetParamBlock(0);
    Texmap* gradient = map.GetSubTexmap(0);
    map.Reset();  // drops the sub-map: plug it back
    map.SetSubTexmap(0, gradient);

    std::ostringstream stored;
    for (std::size_t at = 0; at + kRecordBytes <= bytes.size(); at += kRecordBytes) {
        const StoredParameter parameter = kParameters[bytes[at] % kParameters.size()];
        std::uint32_t bits = 0;
        for (int b = 0; b < 4; ++b) bits |= std::uint32_t{bytes[at + 1 + b]} << (8 * b);
        const BOOL accepted =
            parameter.isFloat
                ? block.SetValue(parameter.id, 0, std::bit_cast<float>(bits))
                : block.SetValue(parameter.id, 0, std::bit_cast<std::int32_t>(bits));
        if (!accepted) return "the block refused a value for parameter " + std::to_string(parameter.id);
        stored << " p" << parameter.id << "="
               << (parameter.isFloat ? std::to_string(std::bit_cast<float>(bits))
                                     : std::to_string(std::bit_cast<std::int32_t>(bits)));
    }
    Interval valid = FOREVER;
    map.Update(0, valid);

    const Colours alone = Evaluate(map);
    for (std::size_t i = 0; i < alone.size(); ++i) {
        for (const float value : {alone[i].r, alone[i].g, alone[i].b, alone[i].a}) {
            if (!(value >= 0.0f && value <= 1.0f)) {
                std::ostringstream out;
                out << "sample " << i << " evaluates to (" << alone[i].r << ", " << alone[i].g
                    << ", " << alone[i].b << ", " << alone[i].a << ") with" << stored.str();
                return out.str();
            }
        }
    }
    // Render threads at once see what one thread alone sees.
    const std::array<Colours, kThreads>& seen = RenderThreads::Shared().EvaluateAtOnce(map);
    for (int k = 0; k < kThreads; ++k) {
        for (std::size_t i = 0; i < alone.size(); ++i) {
            if (!Same(seen[k][i], alone[i])) {
                return "thread " + std::to_string(k) + " sees another colour at sample " +
                       std::to_string(i) + " with" + stored.str();
            }
        }
    }
    return {};
}

}  // namespace nacrelle::fuzzing
