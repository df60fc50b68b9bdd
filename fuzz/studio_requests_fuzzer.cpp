// libFuzzer target: requests to `nacrelle studio`, handled without a socket
// by a studio editing a map of the loaded plug-in module.
#include "fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nacrelle::fuzzing::UseModule(NACRELLE_MODULE_PATH);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return nacrelle::fuzzing::RunCheck(nacrelle::fuzzing::CheckStudioRequests, data, size);
}
