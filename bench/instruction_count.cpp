// nacrelle_instructions: one pass of an operation over the benchmark's
// samples, for counting instructions under callgrind. Each pass is its own
// function so that callgrind can collect exactly that function:
//
//   LD_BIND_NOW=1 valgrind --tool=callgrind --callgrind-out-file=out
//       --toggle-collect='nacrelle::bench::filmColourPass*' nacrelle_instructions filmColour
//
// gives the instructions of filmColourPass and everything it calls; the
// program prints how many samples the pass ran, and the count per sample is
// the quotient. LD_BIND_NOW resolves the library calls before the pass, so the
// dynamic linker's first-call work is not counted.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/module_maps.h"
#include "bench/workload.h"
#include "core/film_colour.h"

namespace nacrelle::bench {

// Checksums keep the compiler from dropping the results.
[[gnu::noinline]] float floorPass(const Workload& w) {
    float sum = 0.0f;
    for (const FloorArguments& a : w.floor) {
        for (float phase : a.phase) sum += std::cos(phase);
        for (float squared : a.squaredCosine) sum += std::sqrt(squared);
        for (float channel : a.channel) sum += std::pow(channel, a.gamma);
    }
    return sum;
}

[[gnu::noinline]] float filmColourPass(const Workload& w) {
    float sum = 0.0f;
    for (const Sample& s : w.samples) {
        const ParameterSet& p = w.sets[static_cast<std::size_t>(s.set)];
        const Colour c = filmColour(s.cosine, s.m, p.stack, p.adjust);
        sum += c.r + c.g + c.b;
    }
    return sum;
}

[[gnu::noinline]] float evalColorPass(const Workload& w, const std::vector<Texmap*>& maps,
                                      std::vector<standin::RenderShadeContext>& contexts) {
    float sum = 0.0f;
    for (std::size_t i = 0; i < w.samples.size(); ++i) {
        const AColor c = maps[static_cast<std::size_t>(w.samples[i].set)]->EvalColor(contexts[i]);
        sum += c.r + c.g + c.b;
    }
    return sum;
}

namespace {

// The maps an EvalColor operation evaluates: the three-wavelength model, or
// the same sets with the spectral colour, of a dielectric or on titanium.
const std::vector<Texmap*>* moduleMapsFor(const char* operation) {
    if (std::strcmp(operation, "evalColor") == 0) return &moduleMaps().plain;
    if (std::strcmp(operation, "evalColorSpectral") == 0) return &moduleMaps().spectral;
    if (std::strcmp(operation, "evalColorMetalSpectral") == 0) return &moduleMaps().metalSpectral;
    return nullptr;
}

int run(const char* operation) {
    const Workload& w = workload();
    float checksum = 0.0f;
    if (std::strcmp(operation, "floor") == 0) {
        checksum = floorPass(w);
    } else if (std::strcmp(operation, "filmColour") == 0) {
        checksum = filmColourPass(w);
    } else if (const auto* maps = moduleMapsFor(operation)) {
        // The contexts are filled beforehand: the pass counts the map alone.
        std::vector<standin::RenderShadeContext> contexts(w.samples.size());
        for (std::size_t i = 0; i < w.samples.size(); ++i) setSample(contexts[i], w.samples[i]);
        checksum = evalColorPass(w, *maps, contexts);
        closeModule();
    } else {
        std::fprintf(stderr, "nacrelle_instructions: unknown operation \"%s\"\n", operation);
        return 2;
    }
    std::printf("%s samples %zu checksum %.9g\n", operation, w.samples.size(),
                static_cast<double>(checksum));
    return 0;
}

}  // namespace

}  // namespace nacrelle::bench

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: nacrelle_instructions "
                     "floor|filmColour|evalColor|evalColorSpectral|evalColorMetalSpectral\n");
        return 2;
    }
    return nacrelle::bench::run(argv[1]);
}
