#include "png_transfer.h"

#include <cmath>

namespace standin::detail {
namespace {

/// gAMA exponents this close to 1 are linear (the chunk holds five digits).
constexpr double kLinearGammaTolerance = 1e-4;

double srgbToLinear(double encoded) {
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

}  // namespace

std::vector<float> LinearSampleTable(const PngFacts& facts, unsigned maxSample) {
    enum class Transfer { kSrgb, kPower, kLinear } transfer = Transfer::kSrgb;
    double exponent = 1.0;
    if (!facts.srgb && facts.gamma > 0) {
        // gAMA holds the encoding exponent in units of 1e-5 (45455 for a 2.2
        // display curve), scaled as libpng reports it.
        exponent = 1.0 / (facts.gamma * .00001);
        transfer = std::fabs(exponent - 1.0) < kLinearGammaTolerance ? Transfer::kLinear
                                                                      : Transfer::kPower;
    }
    std::vector<float> table(maxSample + 1);
    for (unsigned s = 0; s <= maxSample; ++s) {
        const double encoded = static_cast<double>(s) / maxSample;
        double linear = encoded;
        if (transfer == Transfer::kSrgb) {
            linear = srgbToLinear(encoded);
        } else if (transfer == Transfer::kPower) {
            linear = std::pow(encoded, exponent);
        }
        table[s] = static_cast<float>(linear);
    }
    return table;
}

}  // namespace standin::detail
