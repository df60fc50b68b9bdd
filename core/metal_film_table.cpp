// The spectral colour of a film on a metal from tabulated base amplitudes.
#include "core/metal_film_table.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <iterator>

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

struct Rotation {
    double cosine, sine;
};

// cos and sin of 0 <= x < kMaxPhase. The colour takes 81 of them a sample,
// and the library's pair costs several times this; the Taylor terms kept
// are within 1e-11 of both on the reduced quarter turn.
Rotation rotation(double x) {
    const long long quarter = static_cast<long long>(x * kTwoOverPi + 0.5);
    const double turns = static_cast<double>(quarter);
    const double r = (x - turns * kHalfPiHigh) - turns * kHalfPiLow;
    const double z = r * r;
    // Taylor terms from r^3 and from r^2, summed by Horner's rule.
    constexpr double kSineTerms[] = {-1.0 / 6, 1.0 / 120, -1.0 / 5040, 1.0 / 362880,
                                     -1.0 / 39916800};
    constexpr double kCosineTerms[] = {-1.0 / 2,    1.0 / 24,       -1.0 / 720,
                                       1.0 / 40320, -1.0 / 3628800, 1.0 / 479001600};
    double sineSum = 0.0, cosineSum = 0.0;
    for (int k = std::size(kSineTerms) - 1; k >= 0; --k) sineSum = kSineTerms[k] + z * sineSum;
    for (int k = std::size(kCosineTerms) - 1; k >= 0; --k) {
        cosineSum = kCosineTerms[k] + z * cosineSum;
    }
    const double sine = r + r * z * sineSum;
    const double cosine = 1.0 + z * cosineSum;
    // Back to the quarter turn x lies in, without a branch a sample would
    // mispredict.
    constexpr double kSign[2] = {1.0, -1.0};
    const bool swapped = (quarter & 1) != 0;
    return {kSign[((quarter + 1) >> 1) & 1] * (swapped ? sine : cosine),
            kSign[(quarter >> 1) & 1] * (swapped ? cosine : sine)};
}

// The Airy reflectance of one polarisation for a real top amplitude `r`,
// with u = Re(bottom * roundTrip) and the bottom's squared magnitude.
double airy(double r, double u, double bottomSquared) {
    const double cross = 2.0 * r * u;
    return ((r * r + cross) + bottomSquared) / ((1.0 + cross) + r * r * bottomSquared);
}

}  // namespace

MetalFilmTable::MetalFilmTable(int metal, double n1, double n2)
    : metal_(metal), n1_(n1), n2_(n2), rows_(kNodes * kSpectralSamples) {
    // Grazing light's cosine in the film; none past the film's critical angle.
    const double ratio = n1 / n2;
    lowestCosine_ = ratio < 1.0 ? std::sqrt(1.0 - ratio * ratio) : 0.0;
    const double filmIndexSquared = n2 * n2;
    for (int i = 0; i < kSpectralSamples; ++i) inverseWavelength_[i] = 1.0 / spectralWavelength(i);
    for (int node = 0; node < kNodes; ++node) {
        const double cosine2 = lowestCosine_ + (1.0 - lowestCosine_) * node / (kNodes - 1);
        const double filmNormal = n2 * cosine2;
        const double tangentialSquared = filmIndexSquared - filmNormal * filmNormal;
        for (int i = 0; i < kSpectralSamples; ++i) {
            const BaseReflection bottom = baseReflection(
                filmNormal, filmIndexSquared, tangentialSquared, metalIndexAtRow(metal, i));
            rows_[node * kSpectralSamples + i] = {bottom.s.real(), bottom.s.imag(), bottom.p.real(),
                                                  bottom.p.imag()};
        }
    }
}

bool MetalFilmTable::colour(double c1, double d, const SpectralTables& tables,
                            double rgb[3]) const {
    // A cosine past 1 (normals a host left unnormalised) lies outside the
    // table's angles: the exact sum takes it as it comes.
    if (!(c1 > 0.0 && c1 <= 1.0) || !(d >= 0.0)) return false;
    const double tangentialSquared = n1_ * n1_ * (1.0 - c1 * c1);
    const double filmIndexSquared = n2_ * n2_;
    if (!(tangentialSquared < filmIndexSquared)) return false;
    const double e1 = n1_ * c1;
    const double e2 = std::sqrt(filmIndexSquared - tangentialSquared);
    const double phasePerWavenumber = 4.0 * kPi * d * e2;
    if (!(phasePerWavenumber * inverseWavelength_[0] < kMaxPhase)) return false;

    // Amplitudes from the outer medium into the film: real, since neither
    // absorbs and the light is not past the film's critical angle.
    const double topS = (e1 - e2) / (e1 + e2);
    const double n1Squared = n1_ * n1_;
    const double topP =
        (filmIndexSquared * e1 - n1Squared * e2) / (filmIndexSquared * e1 + n1Squared * e2);

    const double position =
        std::max(0.0, (e2 / n2_ - lowestCosine_) / (1.0 - lowestCosine_) * (kNodes - 1));
    const int node = std::min(static_cast<int>(position), kNodes - 2);
    const double f = position - node;
    const Amplitudes* below = &rows_[node * kSpectralSamples];
    const Amplitudes* above = below + kSpectralSamples;

    // In locals, which the compiler need not store back at every step.
    double red = 0.0, green = 0.0, blue = 0.0;
    for (int i = 0; i < kSpectralSamples; ++i) {
        const Amplitudes& a = below[i];
        const Amplitudes& b = above[i];
        const double reS = a.reS + f * (b.reS - a.reS), imS = a.imS + f * (b.imS - a.imS);
        const double reP = a.reP + f * (b.reP - a.reP), imP = a.imP + f * (b.imP - a.imP);
        const Rotation trip = rotation(phasePerWavenumber * inverseWavelength_[i]);
        const double s = airy(topS, reS * trip.cosine - imS * trip.sine, reS * reS + imS * imS);
        const double p = airy(topP, reP * trip.cosine - imP * trip.sine, reP * reP + imP * imP);
        const double reflectance = 0.5 * (s + p);
        const double* weight = tables.weights[i];
        red += weight[0] * reflectance;
        green += weight[1] * reflectance;
        blue += weight[2] * reflectance;
    }
    rgb[0] = red;
    rgb[1] = green;
    rgb[2] = blue;
    return true;
}

}  // namespace nacrelle
