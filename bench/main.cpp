// nacrelle_bench: the benchmarks of the core, the module and the renderer.
// Its own main, so that the module is unloaded before the program ends
// rather than at some point among the exit handlers.
#include <benchmark/benchmark.h>

#include "bench/module_maps.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    nacrelle::bench::closeModule();
    benchmark::Shutdown();
    return 0;
}
