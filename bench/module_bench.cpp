// The map through the loaded module, as a renderer calls it, with the host's
// own shading context. The contexts are filled before the timing starts, so
// that the figures are the map's cost alone (filling one costs the renderer
// about 10 ns, a twentieth of an evaluation); the swatch render times it all.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/module_maps.h"
#include "bench/workload.h"
#include "app/render/parallel_rows.h"
#include "app/render/render.h"

namespace nacrelle::bench {

namespace {

constexpr int kSwatchSize = 1024;

void countSamples(benchmark::State& state, std::size_t perIteration) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(perIteration));
}

// One filled shading context per sample, as the renderer would hand them over.
std::vector<standin::RenderShadeContext> shadingContexts(const Workload& w) {
    std::vector<standin::RenderShadeContext> contexts(w.samples.size());
    for (std::size_t i = 0; i < w.samples.size(); ++i) setSample(contexts[i], w.samples[i]);
    return contexts;
}

void evalColour(benchmark::State& state, const std::vector<Texmap*>& maps) {
    const Workload& w = workload();
    std::vector<standin::RenderShadeContext> contexts = shadingContexts(w);
    for (auto _ : state) {
        for (std::size_t i = 0; i < contexts.size(); ++i) {
            AColor c = maps[static_cast<std::size_t>(w.samples[i].set)]->EvalColor(contexts[i]);
            benchmark::DoNotOptimize(c);
        }
    }
    countSamples(state, contexts.size());
}

void BM_EvalColor(benchmark::State& state) { evalColour(state, moduleMaps().plain); }
BENCHMARK(BM_EvalColor);

void BM_EvalColorNoiseMap(benchmark::State& state) { evalColour(state, moduleMaps().noise); }
BENCHMARK(BM_EvalColorNoiseMap);

// The physical-optics options, side by side with BM_EvalColor on the same
// samples: the spectral colour of a dielectric film, the exact phases at
// three wavelengths, and the spectrum of an oxide on titanium.
void BM_EvalColorSpectral(benchmark::State& state) { evalColour(state, moduleMaps().spectral); }
BENCHMARK(BM_EvalColorSpectral);

void BM_EvalColorExactPhases(benchmark::State& state) {
    evalColour(state, moduleMaps().exactPhases);
}
BENCHMARK(BM_EvalColorExactPhases);

void BM_EvalColorMetalSpectral(benchmark::State& state) {
    evalColour(state, moduleMaps().metalSpectral);
}
BENCHMARK(BM_EvalColorMetalSpectral);

void BM_EvalMono(benchmark::State& state) {
    const Workload& w = workload();
    const std::vector<Texmap*>& maps = moduleMaps().plain;
    std::vector<standin::RenderShadeContext> contexts = shadingContexts(w);
    for (auto _ : state) {
        for (std::size_t i = 0; i < contexts.size(); ++i) {
            float v = maps[static_cast<std::size_t>(w.samples[i].set)]->EvalMono(contexts[i]);
            benchmark::DoNotOptimize(v);
        }
    }
    countSamples(state, contexts.size());
}
BENCHMARK(BM_EvalMono);

// The default swatch, as the program renders it; one item is one pixel.
void BM_RenderSwatch(benchmark::State& state) {
    Texmap& map = *moduleMaps().swatch;
    tools::RenderOptions options;
    options.width = kSwatchSize;
    options.height = kSwatchSize;
    options.threads = static_cast<int>(state.range(0));
    options.showProgress = false;
    for (auto _ : state) {
        tools::Image image = tools::renderSwatch(map, 0, options);
        benchmark::DoNotOptimize(image.at(kSwatchSize / 2, kSwatchSize / 2));
    }
    countSamples(state, static_cast<std::size_t>(kSwatchSize) * kSwatchSize);
    state.counters["threads"] = static_cast<double>(options.threads);
}

// One thread, and one per core.
void threadCounts(benchmark::internal::Benchmark* b) {
    b->Arg(1);
    if (const int cores = tools::defaultThreadCount(); cores > 1) b->Arg(cores);
}
// Items per second follow the wall clock; the CPU time column is that of all
// threads together, so that work added by going parallel shows there.
BENCHMARK(BM_RenderSwatch)
    ->Apply(threadCounts)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace nacrelle::bench
