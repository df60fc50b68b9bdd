// The thin-film core on its own, and the floor that every figure is measured
// against: the library calls that one sample cannot do without.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bench/workload.h"
#include "core/film_colour.h"

namespace nacrelle::bench {

namespace {

void countSamples(benchmark::State& state, std::size_t perIteration) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(perIteration));
}

// One item is one call, at the red, green or blue wavelength in turn.
void BM_FilmReflectance(benchmark::State& state) {
    const Workload& w = workload();
    const float wavelengths[3] = {kWavelengthRed, kWavelengthGreen, kWavelengthBlue};
    for (auto _ : state) {
        int channel = 0;
        for (const Sample& s : w.samples) {
            const FilmStack& stack = w.sets[static_cast<std::size_t>(s.set)].stack;
            // The thickness that reflectanceColour blends from the map value.
            const float d = filmThickness(s.m, stack);
            float r = filmReflectance(s.cosine, wavelengths[channel], d, stack.nMedium, stack.nFilm,
                                      stack.nInternal);
            benchmark::DoNotOptimize(r);
            channel = channel == 2 ? 0 : channel + 1;
        }
    }
    countSamples(state, w.samples.size());
}
BENCHMARK(BM_FilmReflectance);

void BM_ReflectanceColour(benchmark::State& state) {
    const Workload& w = workload();
    for (auto _ : state) {
        for (const Sample& s : w.samples) {
            Colour c =
                reflectanceColour(s.cosine, s.m, w.sets[static_cast<std::size_t>(s.set)].stack);
            benchmark::DoNotOptimize(c);
        }
    }
    countSamples(state, w.samples.size());
}
BENCHMARK(BM_ReflectanceColour);

// The adjustment of the very colours the film gives for the samples.
void BM_AdjustColour(benchmark::State& state) {
    const Workload& w = workload();
    std::vector<Colour> raw;
    raw.reserve(w.samples.size());
    for (const Sample& s : w.samples) {
        raw.push_back(
            reflectanceColour(s.cosine, s.m, w.sets[static_cast<std::size_t>(s.set)].stack));
    }
    for (auto _ : state) {
        for (std::size_t i = 0; i < raw.size(); ++i) {
            const Sample& s = w.samples[i];
            Colour c = adjustColour(raw[i], w.sets[static_cast<std::size_t>(s.set)].adjust);
            benchmark::DoNotOptimize(c);
        }
    }
    countSamples(state, raw.size());
}
BENCHMARK(BM_AdjustColour);

void BM_FilmColour(benchmark::State& state) {
    const Workload& w = workload();
    for (auto _ : state) {
        for (const Sample& s : w.samples) {
            const ParameterSet& p = w.sets[static_cast<std::size_t>(s.set)];
            Colour c = filmColour(s.cosine, s.m, p.stack, p.adjust);
            benchmark::DoNotOptimize(c);
        }
    }
    countSamples(state, w.samples.size());
}
BENCHMARK(BM_FilmColour);

// Three cosf, six sqrtf and three powf per sample, on the arguments the model
// gives them; every result is kept so that none of the calls is dropped.
void BM_Floor(benchmark::State& state) {
    const Workload& w = workload();
    for (auto _ : state) {
        for (const FloorArguments& a : w.floor) {
            for (float phase : a.phase) {
                float k = std::cos(phase);
                benchmark::DoNotOptimize(k);
            }
            for (float squared : a.squaredCosine) {
                float c = std::sqrt(squared);
                benchmark::DoNotOptimize(c);
            }
            for (float channel : a.channel) {
                float v = std::pow(channel, a.gamma);
                benchmark::DoNotOptimize(v);
            }
        }
    }
    countSamples(state, w.floor.size());
}
BENCHMARK(BM_Floor);

}  // namespace

}  // namespace nacrelle::bench
