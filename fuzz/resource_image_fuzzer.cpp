// libFuzzer target: the compiled-resource reader (string tables and dialog
// templates) and LoadStringW over what it read.
#include "fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return nacrelle::fuzzing::RunCheck(nacrelle::fuzzing::CheckResourceImage, data, size);
}
