// The body every libFuzzer target shares: run one check on the input and
// stop the run with the finding when the check fails.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "fuzz/inputs/input_checks.h"

namespace nacrelle::fuzzing {

template <class Check>
int RunCheck(Check check, const std::uint8_t* data, std::size_t size) {
    const Finding finding = check(std::span<const std::uint8_t>(data, size));
    if (!finding.empty()) {
        std::fprintf(stderr, "FINDING: %s\n", finding.c_str());
        std::abort();  // libFuzzer keeps the input as a crash
    }
    return 0;
}

}  // namespace nacrelle::fuzzing
