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

// One polarisation's coefficient products as the Airy sum uses them: rho,
// the product of the two inner reflections, and tau, that of the two
// transmissions; their squares in double (exact) and 2 rho in float. None of
// it depends on the wavelength.
struct Polarisation {
    float rho, tau;
    double rhoSquared, tauSquared;
    float twoRho;
};

Polarisation polarisation(float rho, float tau) {
    return {rho, tau, static_cast<double>(rho) * rho, static_cast<double>(tau) * tau, rho + rho};
}

// Airy sum of one polarisation: transmission through the film at phase
// cosine k. The denominator and the quotient in double.
float airyTransmission(const Polarisation& x, float k) {
    const float w = x.twoRho * k;
    return static_cast<float>(x.tauSquared / ((x.rhoSquared - w) + 1.0));
}

// Everything of one sample that does not depend on the wavelength: the
// angles in the film and the inner medium, the coefficient products and the
// flux ratio. A colour needs them once for its three channels.
struct AngleTerms {
    bool fullyReflected;  // no light gets through: the reflectance is 1 at every wavelength
    float halfWaveShift;
    float c2, c3, q;  // left 0 from the step that found full reflection on
    Polarisation s, p;
};

AngleTerms angleTerms(float c1, float n1, float n2, float n3) {
    AngleTerms a{};
    a.fullyReflected = true;

    // Half-wave shifts of reflection off an optically denser medium.
    const float phi12 = n2 > n1 ? 0.0f : kPi;
    const float phi23 = n2 > n3 ? 0.0f : kPi;
    a.halfWaveShift = phi12 + phi23;

    const double c1Wide = c1;
    const double s = 1.0 - c1Wide * c1Wide;

    // Film angle. u2 == 1 is the film's critical angle: c2 = 0 would make the
    // Airy sum 0 / 0, and the limit there is total reflection too.
    const float u2 = refractedSineSquared(n1, n2, s);
    if (u2 >= 1.0f) return a;
    a.c2 = std::sqrt(1.0f - u2);

    // Angle in the inner medium.
    const float u3 = refractedSineSquared(n1, n3, s);
    if (u3 > 1.0f) return a;
    a.c3 = std::sqrt(1.0f - u3);

    // At grazing view (n1 * c1 is 0, or so small that the flux ratio q
    // overflows) the sum has no value; grazing light is fully reflected, as
    // the values just above already show.
    const float incidentFlux = n1 * c1;
    if (incidentFlux == 0.0f) return a;
    // Transmitted flux ratio: beam cross-sections and speeds in the two media.
    a.q = (n3 * a.c3) / incidentFlux;
    if (std::isinf(a.q)) return a;

    // Products of the two inner reflections and of the two transmissions.
    const float c2 = a.c2;
    const float c3 = a.c3;
    a.s = polarisation(rs(n2, n3, c2, c3) * rs(n2, n1, c2, c1),
                       ts(n2, n3, c2, c3) * ts(n1, n2, c1, c2));
    a.p = polarisation(rp(n2, n3, c2, c3) * rp(n2, n1, c2, c1),
                       tp(n2, n3, c2, c3) * tp(n1, n2, c1, c2));
    a.fullyReflected = false;
    return a;
}

// Optical path difference of one round trip through the film, 2 n2 d c2 in
// nm: the part of the phase that does not depend on the wavelength.
float roundTripPath(float n2, float d, float c2) { return ((2.0f * n2) * d) * c2; }

// The wavelength's part of one reflectance, for a sample whose light enters
// the film; `twoPiOverLambda` is 2 pi / lambda in float.
struct WavelengthTerms {
    float delta, k, transS, transP, reflectance;
};

WavelengthTerms wavelengthTerms(const AngleTerms& a, float path, float twoPiOverLambda) {
    WavelengthTerms w;
    // Phase difference of one round trip through the film.
    w.delta = path * twoPiOverLambda + a.halfWaveShift;
    w.k = std::cos(w.delta);
    w.transS = airyTransmission(a.s, w.k);
    w.transP = airyTransmission(a.p, w.k);
    w.reflectance = 1.0f - ((w.transP + w.transS) * a.q) * 0.5f;
    return w;
}

// 2 pi / lambda of each channel, rounded to float as the division would be.
constexpr float kTwoPiOverRed = kTwoPi / kWavelengthRed;
constexpr float kTwoPiOverGreen = kTwoPi / kWavelengthGreen;
constexpr float kTwoPiOverBlue = kTwoPi / kWavelengthBlue;

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
    const AngleTerms a = angleTerms(c1, n1, n2, n3);
    FilmTerms t{};
    t.halfWaveShift = a.halfWaveShift;
    t.c2 = a.c2;
    t.c3 = a.c3;
    t.q = a.q;
    t.reflectance = 1.0f;
    if (a.fullyReflected) return t;

    const WavelengthTerms w = wavelengthTerms(a, roundTripPath(n2, d, a.c2), kTwoPi / lambda);
    t.delta = w.delta;
    t.k = w.k;
    t.rhoS = a.s.rho;
    t.rhoP = a.p.rho;
    t.tauS = a.s.tau;
    t.tauP = a.p.tau;
    t.transS = w.transS;
    t.transP = w.transP;
    t.reflectance = w.reflectance;
    return t;
}

float filmReflectance(float c1, float lambda, float d, float n1, float n2, float n3) {
    return filmTerms(c1, lambda, d, n1, n2, n3).reflectance;
}

Colour reflectanceColour(float c1, float m, const FilmStack& stack) {
    const float d = filmThickness(m, stack);
    const AngleTerms a = angleTerms(c1, stack.nMedium, stack.nFilm, stack.nInternal);
    // The three channels share the angles; only the phase differs.
    Colour colour{1.0f, 1.0f, 1.0f, 1.0f};
    if (!a.fullyReflected) {
        const float path = roundTripPath(stack.nFilm, d, a.c2);
        colour.r = wavelengthTerms(a, path, kTwoPiOverRed).reflectance;
        colour.g = wavelengthTerms(a, path, kTwoPiOverGreen).reflectance;
        colour.b = wavelengthTerms(a, path, kTwoPiOverBlue).reflectance;
    }
    colour.clampMinMax();
    return colour;
}

}  // namespace nacrelle
