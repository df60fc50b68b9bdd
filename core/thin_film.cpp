#include "core/thin_film.h"

#include "core/film_terms.h"

#include <cmath>

namespace nacrelle {

namespace {

// Single-precision pi; 2 * pi is exactly twice it.
constexpr float kPi = 3.1415927f;
constexpr float kTwoPi = 6.2831855f;

// Fresnel amplitude coefficients from index ni into index nt, with ci and ct
// the cosines in the two media. Every product, sum and quotient is a float.
float rs(float ni, float nt, float ci, float ct) {
    return (ni * ci - nt * ct) / (ni * ci + nt * ct);
}
float rp(float ni, float nt, float ci, float ct) {
    return (nt * ci - ni * ct) / (nt * ci + ni * ct);
}
float ts(float ni, float nt, float ci, float ct) {
    return (2.0f * ni) * ci / (ni * ci + nt * ct);
}
float tp(float ni, float nt, float ci, float ct) {
    return (2.0f * ni) * ci / (nt * ci + ni * ct);
}

// Squared sine of the refracted angle, (ni/nt)^2 * sin^2: the quotient in
// float, the rest in double, rounded once. Its last bit decides total
// reflection, so the precision mix matters.
float refractedSineSquared(float ni, float nt, double sineSquared) {
    const double ratio = ni / nt;
    return static_cast<float>(ratio * ratio * sineSquared);
}

// Airy sum of one polarisation: transmission through the film for the
// product rho of the two inner reflections and tau of the two
// transmissions, at phase cosine k. Squares and denominator in double.
float airyTransmission(float rho, float tau, float k) {
    const double tauSquared = static_cast<double>(tau) * tau;
    const double rhoSquared = static_cast<double>(rho) * rho;
    const float w = (rho + rho) * k;
    return static_cast<float>(tauSquared / ((rhoSquared - w) + 1.0));
}

}  // namespace

namespace {

float clampUnit(float x) {
    if (!(x >= 0.0f)) return 0.0f;  // also NaN
    return x > 1.0f ? 1.0f : x;
}

}  // namespace

void Colour::clampMinMax() {
    r = clampUnit(r);
    g = clampUnit(g);
    b = clampUnit(b);
    a = clampUnit(a);
}

FilmTerms filmTerms(float c1, float lambda, float d, float n1, float n2, float n3) {
    FilmTerms t{};
    t.reflectance = 1.0f;

    // Half-wave shifts of reflection off an optically denser medium.
    const float phi12 = n2 > n1 ? 0.0f : kPi;
    const float phi23 = n2 > n3 ? 0.0f : kPi;
    t.halfWaveShift = phi12 + phi23;

    const double c1Wide = c1;
    const double s = 1.0 - c1Wide * c1Wide;

    // Film angle. u2 == 1 is the film's critical angle: c2 = 0 would make the
    // Airy sum 0 / 0, and the limit there is total reflection too.
    const float u2 = refractedSineSquared(n1, n2, s);
    if (u2 >= 1.0f) return t;
    t.c2 = std::sqrt(1.0f - u2);

    // Angle in the inner medium.
    const float u3 = refractedSineSquared(n1, n3, s);
    if (u3 > 1.0f) return t;
    t.c3 = std::sqrt(1.0f - u3);

    // At grazing view (n1 * c1 is 0, or so small that the flux ratio q
    // overflows) the sum has no value; grazing light is fully reflected, as
    // the values just above already show.
    const float incidentFlux = n1 * c1;
    if (incidentFlux == 0.0f) return t;
    // Transmitted flux ratio: beam cross-sections and speeds in the two media.
    t.q = (n3 * t.c3) / incidentFlux;
    if (std::isinf(t.q)) return t;

    // Phase difference of one round trip through the film.
    t.delta = (((2.0f * n2) * d) * t.c2) * (kTwoPi / lambda) + t.halfWaveShift;
    t.k = std::cos(t.delta);

    // Products of the two inner reflections and of the two transmissions.
    const float c2 = t.c2;
    const float c3 = t.c3;
    t.rhoS = rs(n2, n3, c2, c3) * rs(n2, n1, c2, c1);
    t.rhoP = rp(n2, n3, c2, c3) * rp(n2, n1, c2, c1);
    t.tauS = ts(n2, n3, c2, c3) * ts(n1, n2, c1, c2);
    t.tauP = tp(n2, n3, c2, c3) * tp(n1, n2, c1, c2);

    t.transS = airyTransmission(t.rhoS, t.tauS, t.k);
    t.transP = airyTransmission(t.rhoP, t.tauP, t.k);

    t.reflectance = 1.0f - ((t.transP + t.transS) * t.q) * 0.5f;
    return t;
}

float filmReflectance(float c1, float lambda, float d, float n1, float n2, float n3) {
    return filmTerms(c1, lambda, d, n1, n2, n3).reflectance;
}

Colour reflectanceColour(float c1, float m, const FilmStack& stack) {
    const float d = (1.0f - m) * stack.thicknessMin + m * stack.thicknessMax;
    const float n1 = stack.nMedium;
    const float n2 = stack.nFilm;
    const float n3 = stack.nInternal;
    Colour colour{filmReflectance(c1, kWavelengthRed, d, n1, n2, n3),
                  filmReflectance(c1, kWavelengthGreen, d, n1, n2, n3),
                  filmReflectance(c1, kWavelengthBlue, d, n1, n2, n3), 1.0f};
    colour.clampMinMax();
    return colour;
}

}  // namespace nacrelle
