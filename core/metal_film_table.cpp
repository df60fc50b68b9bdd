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

// pi / 2 in two parts, the first with 33 significant bits, so that a whole
// number of quarter turns below 2^20 times it is exact.
constexpr double kHalfPiHigh = 0x1.921fb544p+0;
constexpr double kHalfPiLow = 0x1.0b4611a626331p-34;
constexpr double kTwoOverPi = 2.0 / kPi;
// Phases the reduction above keeps exact; a film past them is summed.
constexpr double kMaxPhase = 1.0e6;
// Adding and subtracting it rounds a double below 2^51 to a whole number,
// which is left in the sum's low bits.
constexpr double kRoundingShift = 0x1.8p52;

// Vectors of two doubles and of four floats. Each instruction below is in
// SSE2, which every x86-64 has, so the sum is the same everywhere. Structs,
// since only some compilers give the vector types their operators.
struct Doubles {
    __m128d v;
};
struct Floats {
    __m128 v;
};

Doubles splat(double x) { return {_mm_set1_pd(x)}; }
Doubles operator+(Doubles a, Doubles b) { return {_mm_add_pd(a.v, b.v)}; }
Doubles operator-(Doubles a, Doubles b) { return {_mm_sub_pd(a.v, b.v)}; }
Doubles operator*(Doubles a, Doubles b) { return {_mm_mul_pd(a.v, b.v)}; }
Doubles load(const double* p) { return {_mm_loadu_pd(p)}; }

Floats splat(float x) { return {_mm_set1_ps(x)}; }
Floats operator+(Floats a, Floats b) { return {_mm_add_ps(a.v, b.v)}; }
Floats operator-(Floats a, Floats b) { return {_mm_sub_ps(a.v, b.v)}; }
Floats operator*(Floats a, Floats b) { return {_mm_mul_ps(a.v, b.v)}; }
Floats operator/(Floats a, Floats b) { return {_mm_div_ps(a.v, b.v)}; }
Floats load(const float* p) { return {_mm_loadu_ps(p)}; }

// What is left of two phases after whole quarter turns, and which quarter
// turn each lies in. Reduced in double, since a thick film's phases are
// large; the rest fits a float.
struct Reduced {
    Doubles rest;     // within pi / 4 of 0
    __m128i quarter;  // the whole number of quarter turns, in each lane's low bits
};
Reduced reduce(Doubles x) {
    const Doubles shifted = x * splat(kTwoOverPi) + splat(kRoundingShift);
    const Doubles turns = shifted - splat(kRoundingShift);
    return {(x - turns * splat(kHalfPiHigh)) - turns * splat(kHalfPiLow),
            _mm_castpd_si128(shifted.v)};
}

struct Rotation {
    Floats cosine, sine;
};

// cos and sin of four phases 0 <= x < kMaxPhase. The colour takes 81 of them
// a sample, and the library's pair costs many times this; the Taylor terms
// kept are within 4e-7 of both on the reduced quarter turn, below what a
// colour can show.
Rotation rotation(Reduced low, Reduced high) {
    const Floats r = {_mm_movelh_ps(_mm_cvtpd_ps(low.rest.v), _mm_cvtpd_ps(high.rest.v))};
    const __m128i quarter =
        _mm_unpacklo_epi64(_mm_shuffle_epi32(low.quarter, _MM_SHUFFLE(2, 0, 2, 0)),
                           _mm_shuffle_epi32(high.quarter, _MM_SHUFFLE(2, 0, 2, 0)));
    const Floats z = r * r;
    const Floats sine =
        r + r * z * (splat(-1.0f / 6) + z * (splat(1.0f / 120) + z * splat(-1.0f / 5040)));
    const Floats cosine =
        splat(1.0f) + z * (splat(-0.5f) + z * (splat(1.0f / 24) +
                                               z * (splat(-1.0f / 720) + z * splat(1.0f / 40320))));
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
Fraction airy(const Top& top, Floats u, Floats bottomSquared) {
    const Floats cross = top.twice * u;
    return {(top.squared + cross) + bottomSquared,
            (splat(1.0f) + cross) + top.squared * bottomSquared};
}

Top top(double r) { return {splat(static_cast<float>(2.0 * r)), splat(static_cast<float>(r * r))}; }

Floats minimum(Floats a, Floats b) { return {_mm_min_ps(a.v, b.v)}; }
Floats maximum(Floats a, Floats b) { return {_mm_max_ps(a.v, b.v)}; }

// The same reflectance with only `kept` (g, the coherence) of the
// interference left: the m-th pass weighs g^m, so that the mean (the
// incoherent sum) stays and
//   1 - R = (1 - r^2)(1 - B) / (1 - r^2 B) * (1 - g^2 r^2 B) / |1 + g r b z|^2,
// B = |b|^2, returned as the numerator and the denominator of 1 - R.
Fraction fadedLoss(const Top& top, Floats u, Floats bottomSquared, Floats kept) {
    const Floats one = splat(1.0f);
    const Floats keptTop2 = kept * kept * top.squared;
    return {((one - top.squared) * (one - bottomSquared)) * (one - keptTop2 * bottomSquared),
            (one - top.squared * bottomSquared) *
                ((one + kept * top.twice * u) + keptTop2 * bottomSquared)};
}

// What one sample's sum reads: the table's two rows about its angle and its
// per-wavelength constants, the film's phases, top amplitudes and path.
struct Spectrum {
    const float* below;
    const float* above;
    Floats fraction;  // of the way from below to above
    Doubles phase;    // of the round trip per inverse wavelength
    Top topS, topP;
    Floats path;      // the round trip's optical path, nm
    const double* inverseWavelength;
    const float (*halfWeights)[MetalFilmTable::kPadded];
    const float* fadeRate;
    Floats fadeStart;
};

// The sum over the spectrum, four wavelengths at a time; with kFading each
// wavelength keeps only its coherence's share of the interference.
template <bool kFading>
void sumSpectrum(const Spectrum& spectrum, Floats sums[3]) {
    constexpr int kPadded = MetalFilmTable::kPadded;
    using Part = MetalFilmTable::Part;
    const auto lerp = [&](int part, int i) {
        const Floats a = load(spectrum.below + part * kPadded + i);
        return a + spectrum.fraction * (load(spectrum.above + part * kPadded + i) - a);
    };
    for (int i = 0; i < kPadded; i += 4) {
        const Floats reS = lerp(Part::kReS, i), imS = lerp(Part::kImS, i);
        const Floats reP = lerp(Part::kReP, i), imP = lerp(Part::kImP, i);
        const Rotation trip = rotation(reduce(spectrum.phase * load(spectrum.inverseWavelength + i)),
                                       reduce(spectrum.phase * load(spectrum.inverseWavelength + i + 2)));
        const Floats uS = reS * trip.cosine - imS * trip.sine, bS = reS * reS + imS * imS;
        const Floats uP = reP * trip.cosine - imP * trip.sine, bP = reP * reP + imP * imP;
        Floats reflectance;
        if constexpr (kFading) {
            // The coherence: a smoothstep from 1 down to 0 across the fade.
            const Floats t = minimum(
                maximum(spectrum.path * load(spectrum.fadeRate + i) - spectrum.fadeStart, splat(0.0f)),
                splat(1.0f));
            const Floats kept = splat(1.0f) - t * t * (splat(3.0f) - (t + t));
            const Fraction s = fadedLoss(spectrum.topS, uS, bS, kept);
            const Fraction p = fadedLoss(spectrum.topP, uP, bP, kept);
            // Twice the mean of the two, over one division.
            reflectance = splat(2.0f) - (s.numerator * p.denominator + p.numerator * s.denominator) /
                                            (s.denominator * p.denominator);
        } else {
            const Fraction s = airy(spectrum.topS, uS, bS);
            const Fraction p = airy(spectrum.topP, uP, bP);
            reflectance = (s.numerator * p.denominator + p.numerator * s.denominator) /
                          (s.denominator * p.denominator);
        }
        for (int channel = 0; channel < 3; ++channel) {
            sums[channel] = sums[channel] + load(spectrum.halfWeights[channel] + i) * reflectance;
        }
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
        inverseWavelength_[i] = 1.0 / lambda;
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
    const double phasePerWavenumber = 4.0 * kPi * d * e2;
    if (!(phasePerWavenumber * inverseWavelength_[0] < kMaxPhase)) return false;

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

    // Every wavelength keeps all its interference up to kCoherentPath, and
    // the sum then takes the plain Airy fractions.
    const double path = 2.0 * d * e2;
    Floats sums[3] = {splat(0.0f), splat(0.0f), splat(0.0f)};
    const Spectrum spectrum{below, below + kRowLength, splat(static_cast<float>(position - node)),
                            splat(phasePerWavenumber), topS, topP, splat(static_cast<float>(path)),
                            inverseWavelength_, halfWeights_, fadeRate_, splat(fadeStart_)};
    if (path <= kCoherentPath) {
        sumSpectrum<false>(spectrum, sums);
    } else {
        sumSpectrum<true>(spectrum, sums);
    }
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
