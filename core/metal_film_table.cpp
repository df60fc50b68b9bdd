// The spectral colour of a film on a metal from tabulated base amplitudes.
#include "core/metal_film_table.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <complex>

#include "core/exact_film.h"
#include "core/metal_index.h"

namespace nacrelle {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Round trips of more quarter turns than this at 380 nm are summed exactly:
// the reduction below keeps a float's whole numbers exact up to 2^22.
constexpr double kMaxQuarterTurns = 1.0e6;
// Adding and subtracting it rounds a float below 2^22 to a whole number,
// which is left in the sum's low bits.
constexpr float kRoundingShift = 0x1.8p23f;

// Vectors of four floats. Each instruction below is in SSE2, which every
// x86-64 has, so the sum is the same everywhere. A struct, since only some
// compilers give the vector types their operators. The small functions are
// always inlined: called, they pass their vectors through memory, and the
// loop reloads every constant.
struct Floats {
    __m128 v;
};

[[gnu::always_inline]] inline Floats splat(float x) { return {_mm_set1_ps(x)}; }
[[gnu::always_inline]] inline Floats operator+(Floats a, Floats b) {
    return {_mm_add_ps(a.v, b.v)};
}
[[gnu::always_inline]] inline Floats operator-(Floats a, Floats b) {
    return {_mm_sub_ps(a.v, b.v)};
}
[[gnu::always_inline]] inline Floats operator*(Floats a, Floats b) {
    return {_mm_mul_ps(a.v, b.v)};
}
[[gnu::always_inline]] inline Floats operator/(Floats a, Floats b) {
    return {_mm_div_ps(a.v, b.v)};
}
[[gnu::always_inline]] inline Floats load(const float* p) { return {_mm_loadu_ps(p)}; }

struct Rotation {
    Floats cosine, sine;
};

// The polynomials of cos and sin on an eighth of a turn either side of 0,
// in quarter turns r: their Taylor terms to r^6 and r^5, with the next
// term's share folded into the lower ones by Chebyshev economisation, in
// which it costs at most 4e-8 (cos) and 7e-7 (sin).
constexpr double kEighth = kPi / 4.0, kQuarter = kPi / 2.0;
constexpr double power(double x, int n) { return n == 0 ? 1.0 : x * power(x, n - 1); }
constexpr float kSine1 =
    static_cast<float>((1.0 - 7.0 * power(kEighth, 6) / (64.0 * 5040.0)) * kQuarter);
constexpr float kSine3 = static_cast<float>(
    (-1.0 / 6.0 + 56.0 * power(kEighth, 4) / (64.0 * 5040.0)) * power(kQuarter, 3));
constexpr float kSine5 = static_cast<float>(
    (1.0 / 120.0 - 112.0 * power(kEighth, 2) / (64.0 * 5040.0)) * power(kQuarter, 5));
constexpr float kCosine2 =
    static_cast<float>((-0.5 + 32.0 * power(kEighth, 6) / (128.0 * 40320.0)) * power(kQuarter, 2));
constexpr float kCosine4 = static_cast<float>(
    (1.0 / 24.0 - 160.0 * power(kEighth, 4) / (128.0 * 40320.0)) * power(kQuarter, 4));
constexpr float kCosine6 = static_cast<float>(
    (-1.0 / 720.0 + 256.0 * power(kEighth, 2) / (128.0 * 40320.0)) * power(kQuarter, 6));

// cos and sin of four phases of `quarterTurns` quarter turns each, 0 to
// kMaxQuarterTurns. The colour takes 81 of them a sample, and the
// library's pair costs many times this. The whole quarter turns come off
// exactly (the difference of a float and its nearest whole number is
// exact), and the polynomials above take what is left. Within the paths
// that keep any interference (kIncoherentPath, 513 quarter turns at 380 nm)
// the float phase itself is within 6e-5 of a quarter turn, below what a
// colour can show.
[[gnu::always_inline]] inline Rotation rotation(Floats quarterTurns) {
    const Floats shifted = quarterTurns + splat(kRoundingShift);
    const __m128i quarter = _mm_castps_si128(shifted.v);
    const Floats r = quarterTurns - (shifted - splat(kRoundingShift));
    const Floats z = r * r;
    const Floats sine = r * (splat(kSine1) + z * (splat(kSine3) + z * splat(kSine5)));
    const Floats cosine =
        splat(1.0f) + z * (splat(kCosine2) + z * (splat(kCosine4) + z * splat(kCosine6)));
    // Back to the quarter turn x lies in: odd quarters swap the two, and the
    // signs follow from the quarter's two low bits, moved to the sign bit.
    const __m128 swap = _mm_castsi128_ps(
        _mm_sub_epi32(_mm_setzero_si128(), _mm_and_si128(quarter, _mm_set1_epi32(1))));
    const __m128i half = _mm_srli_epi32(quarter, 1);
    const __m128 cosineSign = _mm_castsi128_ps(_mm_slli_epi32(_mm_xor_si128(quarter, half), 31));
    const __m128 sineSign = _mm_castsi128_ps(_mm_slli_epi32(half, 31));
    const auto select = [swap](Floats a, Floats b) {
        return _mm_or_ps(_mm_and_ps(swap, a.v), _mm_andnot_ps(swap, b.v));
    };
    return {{_mm_xor_ps(select(sine, cosine), cosineSign)},
            {_mm_xor_ps(select(cosine, sine), sineSign)}};
}

// The Airy reflectance of one polarisation for a real top amplitude r, as a
// numerator and a denominator, from u = Re(bottom * roundTrip) and the
// bottom's squared magnitude.
struct Top {
    Floats twice, squared;  // 2 r and r^2
};
struct Fraction {
    Floats numerator, denominator;
};
[[gnu::always_inline]] inline Fraction airy(const Top& top, Floats u, Floats bottomSquared) {
    const Floats cross = top.twice * u;
    return {(top.squared + cross) + bottomSquared,
            (splat(1.0f) + cross) + top.squared * bottomSquared};
}

[[gnu::always_inline]] inline Top top(double r) {
    return {splat(static_cast<float>(2.0 * r)), splat(static_cast<float>(r * r))};
}

[[gnu::always_inline]] inline Floats minimum(Floats a, Floats b) { return {_mm_min_ps(a.v, b.v)}; }
[[gnu::always_inline]] inline Floats maximum(Floats a, Floats b) { return {_mm_max_ps(a.v, b.v)}; }

// The same reflectance with only `kept` (g, the coherence) of the
// interference left: the m-th pass weighs g^m, so that the mean (the
// incoherent sum) stays and
//   1 - R = (1 - r^2)(1 - B) / (1 - r^2 B) * (1 - g^2 r^2 B) / |1 + g r b z|^2,
// B = |b|^2, returned as the numerator and the denominator of 1 - R.
[[gnu::always_inline]] inline Fraction fadedLoss(const Top& top, Floats u, Floats bottomSquared,
                                                 Floats kept) {
    const Floats one = splat(1.0f);
    const Floats keptTop2 = kept * kept * top.squared;
    return {((one - top.squared) * (one - bottomSquared)) * (one - keptTop2 * bottomSquared),
            (one - top.squared * bottomSquared) *
                ((one + kept * top.twice * u) + keptTop2 * bottomSquared)};
}

// What one sample's sum reads: the table's row below its angle and its
// per-wavelength constants, the film's phases, top amplitudes and path.
struct Spectrum {
    const float* row;     // the node below the angle, its amplitudes then their steps
    Floats fraction;      // of the way from that node to the next
    Floats quarterTurns;  // of the round trip's phase per inverse wavelength
    Top topS, topP;
    Floats path;  // the round trip's optical path, nm
    const float* inverseWavelength;
    const float (*halfWeights)[MetalFilmTable::kPadded];
    const float* fadeRate;
    Floats fadeStart;
};

// The sum over the spectrum, four wavelengths at a time; with kFading each
// wavelength keeps only its coherence's share of the interference.
template <bool kFading>
[[gnu::always_inline]] inline void sumSpectrum(const Spectrum& spectrum, int begin, int end,
                                               Floats sums[3]) {
    constexpr int kPadded = MetalFilmTable::kPadded;
    using Part = MetalFilmTable::Part;
    constexpr int kParts = MetalFilmTable::kParts;
    const auto lerp = [&](int part, int i) {
        return load(spectrum.row + part * kPadded + i) +
               spectrum.fraction * load(spectrum.row + (part + kParts) * kPadded + i);
    };
    for (int i = begin; i < end; i += 4) {
        const Floats reS = lerp(Part::kReS, i), imS = lerp(Part::kImS, i);
        const Floats reP = lerp(Part::kReP, i), imP = lerp(Part::kImP, i);
        const Rotation trip =
            rotation(spectrum.quarterTurns * load(spectrum.inverseWavelength + i));
        const Floats uS = reS * trip.cosine - imS * trip.sine, bS = reS * reS + imS * imS;
        const Floats uP = reP * trip.cosine - imP * trip.sine, bP = reP * reP + imP * imP;
        Floats reflectance;
        if constexpr (kFading) {
            // The coherence: a smoothstep from 1 down to 0 across the fade.
            const Floats t =
                minimum(maximum(spectrum.path * load(spectrum.fadeRate + i) - spectrum.fadeStart,
                                splat(0.0f)),
                        splat(1.0f));
            const Floats kept = splat(1.0f) - t * t * (splat(3.0f) - (t + t));
            const Fraction s = fadedLoss(spectrum.topS, uS, bS, kept);
            const Fraction p = fadedLoss(spectrum.topP, uP, bP, kept);
            // Twice the mean of the two, over one division.
            reflectance =
                splat(2.0f) - (s.numerator * p.denominator + p.numerator * s.denominator) /
                                  (s.denominator * p.denominator);
        } else {
            const Fraction s = airy(spectrum.topS, uS, bS);
            const Fraction p = airy(spectrum.topP, uP, bP);
            reflectance = (s.numerator * p.denominator + p.numerator * s.denominator) /
                          (s.denominator * p.denominator);
        }
        // Written out: a loop over the channels keeps the sums in memory.
        sums[0] = sums[0] + load(spectrum.halfWeights[0] + i) * reflectance;
        sums[1] = sums[1] + load(spectrum.halfWeights[1] + i) * reflectance;
        sums[2] = sums[2] + load(spectrum.halfWeights[2] + i) * reflectance;
    }
}

}  // namespace

MetalFilmTable::MetalFilmTable(int metal, double n1, double n2)
    : metal_(metal), n1_(n1), n2_(n2), rows_(kNodes * kRowLength) {
    // Grazing light's cosine in the film; none past the film's critical angle.
    const double ratio = n1 / n2;
    lowestCosine_ = ratio < 1.0 ? std::sqrt(1.0 - ratio * ratio) : 0.0;
    const double filmIndexSquared = n2 * n2;
    // Half the weights, for the mean of s and p. The padding weighs nothing
    // and its amplitudes are 0, so it adds nothing.
    const SpectralTables& tables = spectralTables();
    fadeStart_ = static_cast<float>(kCoherenceStart / (kCoherenceEnd - kCoherenceStart));
    for (int i = 0; i < kPadded; ++i) {
        const bool sample = i < kSpectralSamples;
        const double lambda = spectralWavelength(std::min(i, kSpectralSamples - 1));
        inverseWavelength_[i] = static_cast<float>(1.0 / lambda);
        fadeRate_[i] = static_cast<float>(
            1.0 / ((kCoherenceEnd - kCoherenceStart) * bandCoherenceLength(lambda)));
        for (int channel = 0; channel < 3; ++channel) {
            halfWeights_[channel][i] =
                sample ? static_cast<float>(0.5 * tables.weights[i][channel]) : 0.0f;
        }
    }
    for (int node = 0; node < kNodes; ++node) {
        const double cosine2 = lowestCosine_ + (1.0 - lowestCosine_) * node / (kNodes - 1);
        const double filmNormal = n2 * cosine2;
        const double tangentialSquared = filmIndexSquared - filmNormal * filmNormal;
        float* row = &rows_[node * kRowLength];
        for (int i = 0; i < kSpectralSamples; ++i) {
            const BaseReflection bottom = baseReflection(
                filmNormal, filmIndexSquared, tangentialSquared, metalIndexAtRow(metal, i));
            row[kReS * kPadded + i] = static_cast<float>(bottom.s.real());
            row[kImS * kPadded + i] = static_cast<float>(bottom.s.imag());
            row[kReP * kPadded + i] = static_cast<float>(bottom.p.real());
            row[kImP * kPadded + i] = static_cast<float>(bottom.p.imag());
        }
    }
    // Each row's steps to the next node's, which the last row keeps at 0.
    for (int node = 0; node + 1 < kNodes; ++node) {
        float* row = &rows_[node * kRowLength];
        const float* next = row + kRowLength;
        for (int i = 0; i < kParts * kPadded; ++i) row[kParts * kPadded + i] = next[i] - row[i];
    }
}

bool MetalFilmTable::colour(double c1, double d, double rgb[3]) const {
    // A cosine past 1 (normals a host left unnormalised) lies outside the
    // table's angles: the exact sum takes it as it comes.
    if (!(c1 > 0.0 && c1 <= 1.0) || !(d >= 0.0)) return false;
    const double tangentialSquared = n1_ * n1_ * (1.0 - c1 * c1);
    const double filmIndexSquared = n2_ * n2_;
    if (!(tangentialSquared < filmIndexSquared)) return false;
    const double e1 = n1_ * c1;
    const double e2 = std::sqrt(filmIndexSquared - tangentialSquared);
    // Just past the film's critical angle both faces reflect nearly all of
    // the p light and its Airy fraction is a small difference of nearly
    // equal terms, which single precision and interpolated amplitudes
    // cannot give: a thin ring the exact sum takes.
    if (lowestCosine_ == 0.0 && e2 < kCriticalBand * n2_) return false;
    // The round trip's path and its phase in quarter turns per inverse
    // wavelength (the phase is 2 pi path / lambda).
    const double path = 2.0 * d * e2;
    const double quarterTurns = 4.0 * path;
    if (!(quarterTurns / spectralWavelength(0) < kMaxQuarterTurns)) return false;

    // Amplitudes from the outer medium into the film: real, since neither
    // absorbs and the light is not past the film's critical angle.
    const double n1Squared = n1_ * n1_;
    const Top topS = top((e1 - e2) / (e1 + e2));
    const Top topP =
        top((filmIndexSquared * e1 - n1Squared * e2) / (filmIndexSquared * e1 + n1Squared * e2));

    // Bounded before it becomes an index: indices no panel allows (a film
    // index at or below 0, an outer one near 0) can put it anywhere, or NaN.
    double position = (e2 / n2_ - lowestCosine_) / (1.0 - lowestCosine_) * (kNodes - 1);
    if (!(position > 0.0)) position = 0.0;
    if (position > kNodes - 1) position = kNodes - 1;
    const int node = std::min(static_cast<int>(position), kNodes - 2);
    const float* below = &rows_[node * kRowLength];

    // A wavelength keeps all its interference while the path is within
    // kCoherenceStart of its coherence length, and then takes the plain Airy
    // fractions: the longer wavelengths, from `coherentFrom` on (every one
    // up to kCoherentPath). Only the shorter ones fade.
    Floats sums[3] = {splat(0.0f), splat(0.0f), splat(0.0f)};
    const Spectrum spectrum{below,
                            splat(static_cast<float>(position - node)),
                            splat(static_cast<float>(quarterTurns)),
                            topS,
                            topP,
                            splat(static_cast<float>(path)),
                            inverseWavelength_,
                            halfWeights_,
                            fadeRate_,
                            splat(fadeStart_)};
    int coherentFrom = 0;
    if (path > kCoherentPath) {
        // The shortest wavelength that keeps it all, with a margin for the
        // lanes' single precision, in whole steps of four samples.
        const double shortest = std::sqrt(path * kSampleStep / kCoherenceStart) * (1.0 + 1e-5);
        const int sample =
            static_cast<int>(std::ceil((shortest - spectralWavelength(0)) / kSampleStep));
        coherentFrom = std::min((sample + 3) / 4 * 4, kPadded);
        sumSpectrum<true>(spectrum, 0, coherentFrom, sums);
    }
    sumSpectrum<false>(spectrum, coherentFrom, kPadded, sums);
    // The lanes' sums, in double.
    for (int channel = 0; channel < 3; ++channel) {
        alignas(16) float lanes[4];
        _mm_store_ps(lanes, sums[channel].v);
        rgb[channel] =
            (static_cast<double>(lanes[0]) + lanes[1]) + (static_cast<double>(lanes[2]) + lanes[3]);
    }
    return true;
}

}  // namespace nacrelle
