// libFuzzer target: any values in the map's block, as scripts and scene
// files may store them, evaluated on three threads.
#include "fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nacrelle::fuzzing::UseModule(NACRELLE_MODULE_PATH);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return nacrelle::fuzzing::RunCheck(nacrelle::fuzzing::CheckBlockValues, data, size);
}
