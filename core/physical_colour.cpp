// The physical-optics colour: three wavelengths or the whole spectrum, exact
// or half-wave phases, dielectric or metal base.
#include "core/physical_colour.h"

#include <cmath>
#include <complex>

#include "core/exact_film.h"

namespace nacrelle {

namespace {

using Complex = std::complex<double>;

// Below this, the terms of an Airy series left out change no channel visibly.
constexpr double kPi = 3.14159265358979323846;

constexpr double kSeriesTolerance = 1e-4;
// A film whose series needs more terms (an interface that reflects almost
// everything), or terms past the path table (a thick film of a high index),
// is summed wavelength by wavelength instead.
constexpr int kMaxSeriesTerms = 64;

Complex baseIndex(const FilmStack& stack, const OpticsOptions& options, double lambda) {
    if (options.baseMetal == kBaseDielectric) return stack.nInternal;
    return metalIndex(options.baseMetal, lambda);
}

Colour colourOf(const double rgb[3]) {
    Colour colour{static_cast<float>(rgb[0]), static_cast<float>(rgb[1]),
                  static_cast<float>(rgb[2]), 1.0f};
    colour.clampMinMax();
    return colour;
}

// The spectrum summed wavelength by wavelength with the exact sum: metals
// (whose index changes with the wavelength) and light tunnelling through
// the film.
Colour summedSpectrum(float c1, float d, const FilmStack& stack, const OpticsOptions& options,
                      const SpectralTables& tables) {
    double reflectance[kSpectralSamples];
    const ExactFilm film(c1, d, stack.nMedium, stack.nFilm);
    const double path = film.roundTripPath();
    for (int i = 0; i < kSpectralSamples; ++i) {
        const Complex n3 = options.baseMetal == kBaseDielectric
                               ? Complex(stack.nInternal)
                               : metalIndexAtRow(options.baseMetal, i);
        const double lambda = spectralWavelength(i);
        reflectance[i] = film.reflectance(lambda, n3, sampleCoherence(lambda, path));
    }
    double rgb[3];
    spectrumToRgb(tables, reflectance, rgb);
    return colourOf(rgb);
}

// A transparent film on a transparent base, as its Airy transmission
// T(delta) = tau^2 / (1 + rho^2 - 2 rho cos delta) per polarisation.
struct DielectricFilm {
    enum Kind { kTransmits, kReflectsAll, kTunnels } kind;
    double q;                 // transmitted flux ratio
    double path;              // optical path of one round trip, nm
    double rhoS, rhoP;        // products of the two inner reflections, half-wave sign included
    double tauS2, tauP2;      // squared products of the two transmissions
};

DielectricFilm dielectricFilm(float c1, float d, const FilmStack& stack, bool halfWaveTerms) {
    DielectricFilm film{};
    const double n1 = stack.nMedium, n2 = stack.nFilm, n3 = stack.nInternal;
    const double cosine1 = c1;
    const double sine2 = 1.0 - cosine1 * cosine1;
    const double u2 = (n1 / n2) * (n1 / n2) * sine2;
    const double u3 = (n1 / n3) * (n1 / n3) * sine2;
    film.kind = DielectricFilm::kReflectsAll;
    // Nothing reaches a transparent base beyond its critical angle. With
    // half-wave terms the film's own critical angle stops the light too;
    // with exact phases the light tunnels through a thin enough film.
    if (!(cosine1 > 0.0) || u3 >= 1.0) return film;
    if (u2 >= 1.0) {
        if (!halfWaveTerms) film.kind = DielectricFilm::kTunnels;
        return film;
    }
    const double c2 = std::sqrt(1.0 - u2);
    const double c3 = std::sqrt(1.0 - u3);
    const double e1 = n1 * cosine1, e2 = n2 * c2, e3 = n3 * c3;  // n cos(theta)
    const double rS23 = (e2 - e3) / (e2 + e3), rS21 = (e2 - e1) / (e2 + e1);
    const double rP23 = (n3 * c2 - n2 * c3) / (n3 * c2 + n2 * c3);
    const double rP21 = (n1 * c2 - n2 * cosine1) / (n1 * c2 + n2 * cosine1);
    const double tauS = (2.0 * e2 / (e2 + e3)) * (2.0 * e1 / (e1 + e2));
    const double tauP = (2.0 * n2 * c2 / (n3 * c2 + n2 * c3)) * (2.0 * n1 * cosine1 / (n2 * cosine1 + n1 * c2));
    // Half-wave terms add pi to the phase, that is flip the series' sign,
    // exactly when the film index lies between the other two.
    const bool shifted = halfWaveTerms && ((n2 > n1) != (n2 > n3));
    const double sign = shifted ? -1.0 : 1.0;
    film.kind = DielectricFilm::kTransmits;
    film.q = e3 / e1;
    film.path = 2.0 * n2 * static_cast<double>(d) * c2;
    film.rhoS = sign * rS23 * rS21;
    film.rhoP = sign * rP23 * rP21;
    film.tauS2 = tauS * tauS;
    film.tauP2 = tauP * tauP;
    return film;
}

// The spectrum's colour from the Fourier series of the Airy sum,
//   T = tau^2 / (1 - rho^2) * (1 + 2 sum_m rho^m cos(m delta)),
// whose cosines the path table has summed over the spectrum already, each
// with its coherence at the m-th pass's path. Returns false when the series
// would need too many terms.
bool seriesColour(const DielectricFilm& film, const SpectralTables& tables, double rgb[3]) {
    const double scaleS = 0.5 * film.q * film.tauS2 / (1.0 - film.rhoS * film.rhoS);
    const double scaleP = 0.5 * film.q * film.tauP2 / (1.0 - film.rhoP * film.rhoP);
    for (int c = 0; c < 3; ++c) rgb[c] = 1.0 - (scaleS + scaleP);
    // Every later term is bounded by the larger ratio's geometric tail.
    const double ratio = std::fmax(std::fabs(film.rhoS), std::fabs(film.rhoP));
    const double tailScale = 2.0 * (scaleS + scaleP) / (1.0 - ratio);
    double powerS = 1.0, powerP = 1.0, ratioPower = 1.0;
    for (int m = 1; tailScale * ratioPower >= kSeriesTolerance; ++m) {
        // From here on no pass keeps any interference.
        if (std::fabs(m * film.path) >= kIncoherentPath) break;
        if (m > kMaxSeriesTerms) return false;
        powerS *= film.rhoS;
        powerP *= film.rhoP;
        ratioPower *= ratio;
        double sums[3];
        pathCosineSums(tables, m * film.path, sums);
        const double term = 2.0 * (scaleS * powerS + scaleP * powerP);
        for (int c = 0; c < 3; ++c) rgb[c] -= term * sums[c];
    }
    return true;
}

// One polarisation's transmission with only `coherence` g of the
// interference kept, the m-th term weighing g^m:
//   tau^2 / (1 - rho^2) * (1 - g^2 rho^2) / (1 + g^2 rho^2 - 2 g rho cos delta).
double fadedTransmission(double tau2, double rho, double k, double coherence) {
    const double kept = coherence * rho;
    return tau2 / (1.0 - rho * rho) * (1.0 - kept * kept) / ((kept * kept - 2.0 * kept * k) + 1.0);
}

// The same transmission summed wavelength by wavelength: one cosine each.
void summedTransmission(const DielectricFilm& film, const SpectralTables& tables, double rgb[3]) {
    double reflectance[kSpectralSamples];
    for (int i = 0; i < kSpectralSamples; ++i) {
        const double lambda = spectralWavelength(i);
        const double k = std::cos(2.0 * kPi / lambda * film.path);
        const double coherence = sampleCoherence(lambda, film.path);
        if (coherence >= 1.0) {
            const double s = film.tauS2 / ((film.rhoS * film.rhoS - 2.0 * film.rhoS * k) + 1.0);
            const double p = film.tauP2 / ((film.rhoP * film.rhoP - 2.0 * film.rhoP * k) + 1.0);
            reflectance[i] = 1.0 - 0.5 * film.q * (s + p);
        } else {
            reflectance[i] = 1.0 - 0.5 * film.q *
                                       (fadedTransmission(film.tauS2, film.rhoS, k, coherence) +
                                        fadedTransmission(film.tauP2, film.rhoP, k, coherence));
        }
    }
    spectrumToRgb(tables, reflectance, rgb);
}

Colour spectralColour(float c1, float d, const FilmStack& stack, const OpticsOptions& options,
                      const SpectralTables& tables, const MetalFilmTable* metalTable) {
    if (options.baseMetal != kBaseDielectric) {
        double rgb[3];
        if (metalTable != nullptr &&
            metalTable->isFor(options.baseMetal, stack.nMedium, stack.nFilm) &&
            metalTable->colour(c1, d, rgb)) {
            return colourOf(rgb);
        }
        return summedSpectrum(c1, d, stack, options, tables);
    }
    const DielectricFilm film = dielectricFilm(c1, d, stack, !options.physicalPhase);
    if (film.kind == DielectricFilm::kReflectsAll) return {1.0f, 1.0f, 1.0f, 1.0f};
    if (film.kind == DielectricFilm::kTunnels) return summedSpectrum(c1, d, stack, options, tables);
    double rgb[3];
    if (!seriesColour(film, tables, rgb)) summedTransmission(film, tables, rgb);
    return colourOf(rgb);
}

}  // namespace

double opticalReflectance(float c1, double lambda, float d, const FilmStack& stack,
                          const OpticsOptions& options) {
    if (!options.exactPhases()) {
        return filmReflectance(c1, static_cast<float>(lambda), d, stack.nMedium, stack.nFilm,
                               stack.nInternal);
    }
    const ExactFilm film(c1, d, stack.nMedium, stack.nFilm);
    return film.reflectance(lambda, baseIndex(stack, options, lambda));
}

Colour opticalReflectanceColour(float c1, float m, const FilmStack& stack,
                                const OpticsOptions& options, const SpectralTables* tables,
                                const MetalFilmTable* metalTable) {
    if (options.threeWavelengthModel()) return reflectanceColour(c1, m, stack);
    const float d = filmThickness(m, stack);
    if (options.spectral) return spectralColour(c1, d, stack, options, *tables, metalTable);
    const double rgb[3] = {opticalReflectance(c1, kWavelengthRed, d, stack, options),
                           opticalReflectance(c1, kWavelengthGreen, d, stack, options),
                           opticalReflectance(c1, kWavelengthBlue, d, stack, options)};
    return colourOf(rgb);
}

}  // namespace nacrelle
