// Four-dimensional gradient noise and its fractal sum, for the noise grey map.
#include "maps/gradient_noise.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace standin {
namespace {

// A fixed shuffle of 0-255, repeated once so that corner hashes may index
// past 255 without wrapping.
constexpr std::array<std::uint8_t, 512> makePermutation() {
    std::array<std::uint8_t, 256> order{};
    for (int i = 0; i < 256; ++i) order[i] = static_cast<std::uint8_t>(i);
    // Fisher-Yates driven by xorshift32 from a fixed seed: the pattern is part
    // of the map and must never change.
    std::uint32_t state = 0x6E61636Bu;
    for (int i = 255; i > 0; --i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const int j = static_cast<int>(state % static_cast<std::uint32_t>(i + 1));
        const std::uint8_t swap = order[i];
        order[i] = order[j];
        order[j] = swap;
    }
    std::array<std::uint8_t, 512> table{};
    for (int i = 0; i < 512; ++i) table[i] = order[i & 255];
    return table;
}

constexpr std::array<std::uint8_t, 512> kPermutation = makePermutation();

// The 32 gradients are the midpoints of the edges of the 4D hypercube: one
// component 0, the others +-1. Bits 3-4 of the hash pick the zero axis, bits
// 0-2 the signs of the remaining three.
double gradientDot(unsigned hash, double x, double y, double z, double w) {
    const unsigned h = hash & 31u;
    double a, b, c;
    switch (h >> 3) {
        case 0:
            a = y;
            b = z;
            c = w;
            break;
        case 1:
            a = x;
            b = z;
            c = w;
            break;
        case 2:
            a = x;
            b = y;
            c = w;
            break;
        default:
            a = x;
            b = y;
            c = z;
            break;
    }
    return ((h & 1u) ? -a : a) + ((h & 2u) ? -b : b) + ((h & 4u) ? -c : c);
}

// 6t^5 - 15t^4 + 10t^3: zero first and second derivatives at 0 and 1.
double fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

double lerp(double t, double a, double b) { return a + t * (b - a); }

// Lattice cell of `c` (as an index into the repeating table) and the offset
// within it.
struct Cell {
    unsigned index;
    double f;
};

Cell cellOf(double c) {
    const double floorC = std::floor(c);
    double wrapped = std::fmod(floorC, 256.0);
    if (wrapped < 0.0) wrapped += 256.0;
    return {static_cast<unsigned>(wrapped) & 255u, c - floorC};
}

// The raw blend's largest magnitude found by a multi-start search is 1.2993
// with this table: dividing by 1.3 uses nearly all of [-1, 1]; the final clamp
// only guards the bound.
constexpr double kRawBound = 1.3;

}  // namespace

double GradientNoise4(double x, double y, double z, double w) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z) || !std::isfinite(w)) {
        return 0.0;
    }
    const Cell cx = cellOf(x), cy = cellOf(y), cz = cellOf(z), cw = cellOf(w);
    const double u = fade(cx.f), v = fade(cy.f), s = fade(cz.f), t = fade(cw.f);
    const auto& p = kPermutation;

    // Blend the 16 corner contributions, w outermost.
    double alongW[2];
    for (unsigned dw = 0; dw < 2; ++dw) {
        double alongZ[2];
        for (unsigned dz = 0; dz < 2; ++dz) {
            double alongY[2];
            for (unsigned dy = 0; dy < 2; ++dy) {
                double alongX[2];
                for (unsigned dx = 0; dx < 2; ++dx) {
                    const unsigned hash =
                        p[p[p[p[(cx.index + dx) & 255u] + ((cy.index + dy) & 255u)] +
                            ((cz.index + dz) & 255u)] +
                          ((cw.index + dw) & 255u)];
                    alongX[dx] = gradientDot(hash, cx.f - dx, cy.f - dy, cz.f - dz, cw.f - dw);
                }
                alongY[dy] = lerp(u, alongX[0], alongX[1]);
            }
            alongZ[dz] = lerp(v, alongY[0], alongY[1]);
        }
        alongW[dw] = lerp(s, alongZ[0], alongZ[1]);
    }
    const double n = lerp(t, alongW[0], alongW[1]) / kRawBound;
    return n < -1.0 ? -1.0 : (n > 1.0 ? 1.0 : n);
}

double FractalNoise4(double x, double y, double z, double w, double levels) {
    if (!(levels >= 1.0)) levels = 1.0;  // also catches NaN
    if (levels > kMaxNoiseLevels) levels = kMaxNoiseLevels;
    const int whole = static_cast<int>(levels);
    const double fraction = levels - whole;
    const int octaves = fraction > 0.0 ? whole + 1 : whole;

    double sum = 0.0;
    double totalWeight = 0.0;
    double frequency = 1.0;
    double weight = 1.0;
    for (int i = 0; i < octaves; ++i) {
        const double octaveWeight = i < whole ? weight : weight * fraction;
        // Irrational-looking offsets: octave i starts elsewhere in the lattice.
        const double shift = 17.137 * i;
        sum += octaveWeight * GradientNoise4(x * frequency + shift, y * frequency - 0.731 * shift,
                                             z * frequency + 0.419 * shift,
                                             w * frequency - 0.293 * shift);
        totalWeight += octaveWeight;
        frequency *= 2.0;
        weight *= 0.5;
    }
    return sum / totalWeight;
}

}  // namespace standin
