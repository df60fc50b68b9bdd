// libFuzzer target: the PNG reader of thickness maps.
#include "fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return nacrelle::fuzzing::RunCheck(nacrelle::fuzzing::CheckPngBytes, data, size);
}
