// `nacrelle match`'s search through the loaded module, without the
// program's start: every thickness of 0 to 3000 nm, and the same with the
// film's index varied over 1.3 to 2.6, on the three-wavelength model and on
// an oxide's spectrum on titanium.
#include <benchmark/benchmark.h>

#include "app/match/colour_match.h"
#include "bench/module_maps.h"

namespace nacrelle::bench {
namespace {

using tools::ColourConversions;
using tools::IndexRange;
using tools::MatchRequest;

void match(benchmark::State& state, Texmap* map, bool varyIndex) {
    const ColourConversions conversions;
    MatchRequest request;
    // #6a3fa0, a purple.
    request.target = conversions.labOfEncoded({0x6a / 255.0, 0x3f / 255.0, 0xa0 / 255.0});
    if (varyIndex) request.vary = IndexRange{"nfilm", 1.3, 2.6};
    for (auto _ : state) {
        const tools::MatchResult result = tools::findMatches(*map, 0, request, conversions);
        benchmark::DoNotOptimize(result.candidates.data());
    }
}

void BM_MatchThickness(benchmark::State& state) { match(state, moduleMaps().swatch, false); }
BENCHMARK(BM_MatchThickness)->Unit(benchmark::kMillisecond);

void BM_MatchThicknessTitaniumSpectrum(benchmark::State& state) {
    match(state, moduleMaps().metalSpectral[0], false);
}
BENCHMARK(BM_MatchThicknessTitaniumSpectrum)->Unit(benchmark::kMillisecond);

void BM_MatchVaryingFilmIndex(benchmark::State& state) { match(state, moduleMaps().swatch, true); }
BENCHMARK(BM_MatchVaryingFilmIndex)->Unit(benchmark::kMillisecond);

void BM_MatchVaryingFilmIndexTitaniumSpectrum(benchmark::State& state) {
    match(state, moduleMaps().metalSpectral[0], true);
}
BENCHMARK(BM_MatchVaryingFilmIndexTitaniumSpectrum)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nacrelle::bench
