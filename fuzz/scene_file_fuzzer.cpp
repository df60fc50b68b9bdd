// libFuzzer target: the scene-file reader, with the plug-in module loaded so
// that files may hold its maps.
#include "fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nacrelle::fuzzing::UseModule(NACRELLE_MODULE_PATH);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return nacrelle::fuzzing::RunCheck(nacrelle::fuzzing::CheckSceneBytes, data, size);
}
