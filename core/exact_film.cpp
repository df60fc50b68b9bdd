// Exact single-film reflectance with complex Fresnel amplitudes.
#include "core/exact_film.h"

#include <cmath>

namespace nacrelle {

namespace {

constexpr double kPi = 3.14159265358979323846;

using Complex = std::complex<double>;

// n cos(theta) in a medium of index n for light whose tangential part is
// n1 sin(theta1): the root that decays into the medium (Im >= 0), and the
// forward one (Re >= 0) when it is real.
Complex normalComponent(Complex n, double tangentialSquared) {
    // The library's complex root guards against overflows that no index
    // reaches, at several times the cost. The larger part comes from a real
    // root, the other from y / 2 of it, so neither cancels.
    const double x = n.real() * n.real() - n.imag() * n.imag() - tangentialSquared;
    const double y = 2.0 * n.real() * n.imag();
    const double magnitude = std::sqrt(x * x + y * y);
    double re, im;
    if (x >= 0.0) {
        re = std::sqrt(0.5 * (magnitude + x));
        im = re > 0.0 ? y / (2.0 * re) : 0.0;
    } else {
        im = std::copysign(std::sqrt(0.5 * (magnitude - x)), y);
        re = y / (2.0 * im);
    }
    if (im < 0.0) return {-re, -im};
    return {re, im};
}

// a / b without the library's care for infinities and overflow, which
// finite film amplitudes never need and which costs several times as much.
Complex divide(Complex a, Complex b) {
    const double scale = 1.0 / (b.real() * b.real() + b.imag() * b.imag());
    return {(a.real() * b.real() + a.imag() * b.imag()) * scale,
            (a.imag() * b.real() - a.real() * b.imag()) * scale};
}

Complex multiply(Complex a, Complex b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

double squaredMagnitude(Complex a) { return a.real() * a.real() + a.imag() * a.imag(); }

// Fresnel amplitudes from medium i into medium t, from their normal
// components eta = n cos(theta) and squared indices.
Complex reflectS(Complex etaI, Complex etaT) { return divide(etaI - etaT, etaI + etaT); }
Complex reflectP(Complex etaI, Complex etaT, Complex nI2, Complex nT2) {
    const Complex a = multiply(nT2, etaI), b = multiply(nI2, etaT);
    return divide(a - b, a + b);
}

// Airy sum of one polarisation: top and bottom amplitudes, round-trip factor.
double airyReflectance(Complex top, Complex bottom, Complex roundTrip) {
    const Complex bottomTrip = multiply(bottom, roundTrip);
    return squaredMagnitude(top + bottomTrip) / squaredMagnitude(1.0 + multiply(top, bottomTrip));
}

// The same with only `coherence` of its interference kept, for a real top
// amplitude. The Airy sum is a Fourier series in the round trip's phase;
// weighing its m-th term by coherence^m keeps the mean, the incoherent sum,
// and 1 - R = (1 - r^2)(1 - |b|^2) / |1 + r b z|^2 becomes the same mean's
// 1 - R times (1 - g^2 r^2 |b|^2) / |1 + g r b z|^2.
double fadedAiryReflectance(double top, Complex bottom, Complex roundTrip, double coherence) {
    const double top2 = top * top, bottom2 = squaredMagnitude(bottom);
    const double meanLoss = (1.0 - top2) * (1.0 - bottom2) / (1.0 - top2 * bottom2);
    const double kept2 = coherence * coherence * top2 * bottom2;
    return 1.0 - meanLoss * (1.0 - kept2) /
                     squaredMagnitude(1.0 + coherence * top * multiply(bottom, roundTrip));
}

}  // namespace

ExactFilm::ExactFilm(double c1, double d, double n1, double n2)
    : grazing(!(c1 > 0.0)), thickness(d), tangentialSquared(n1 * n1 * (1.0 - c1 * c1)),
      filmIndexSquared(n2 * n2) {
    if (grazing) return;
    const Complex outerNormal = n1 * c1;
    filmNormal = normalComponent(n2, tangentialSquared);
    // At the film's critical angle exactly, both interfaces reflect fully
    // and the sum is 0 / 0; a vanishing evanescent part gives its limit.
    if (filmNormal == 0.0) filmNormal = Complex(0.0, 1e-9);
    outerS = reflectS(outerNormal, filmNormal);
    outerP = reflectP(outerNormal, filmNormal, n1 * n1, filmIndexSquared);
}

BaseReflection baseReflection(Complex filmNormal, double filmIndexSquared,
                              double tangentialSquared, Complex n3) {
    const Complex baseNormal = normalComponent(n3, tangentialSquared);
    const Complex baseSquared = multiply(n3, n3);
    return {reflectS(filmNormal, baseNormal),
            reflectP(filmNormal, baseNormal, filmIndexSquared, baseSquared)};
}

double ExactFilm::reflectance(double lambda, Complex n3) const {
    if (grazing) return 1.0;
    const BaseReflection bottom =
        baseReflection(filmNormal, filmIndexSquared, tangentialSquared, n3);
    // exp(2i beta), beta the film's phase thickness: a rotation in a
    // transparent film, a decay in one below its critical angle.
    const Complex twoBeta = (4.0 * kPi * thickness / lambda) * filmNormal;
    const double decay = twoBeta.imag() == 0.0 ? 1.0 : std::exp(-twoBeta.imag());
    const Complex roundTrip(decay * std::cos(twoBeta.real()), decay * std::sin(twoBeta.real()));
    return 0.5 * (airyReflectance(outerS, bottom.s, roundTrip) +
                  airyReflectance(outerP, bottom.p, roundTrip));
}

double ExactFilm::roundTripPath() const {
    if (grazing || filmNormal.imag() != 0.0) return 0.0;
    return 2.0 * thickness * filmNormal.real();
}

double ExactFilm::reflectance(double lambda, Complex n3, double coherence) const {
    if (coherence >= 1.0 || grazing || filmNormal.imag() != 0.0) return reflectance(lambda, n3);
    const BaseReflection bottom =
        baseReflection(filmNormal, filmIndexSquared, tangentialSquared, n3);
    const double twoBeta = 4.0 * kPi * thickness / lambda * filmNormal.real();
    const Complex roundTrip(std::cos(twoBeta), std::sin(twoBeta));
    return 0.5 * (fadedAiryReflectance(outerS.real(), bottom.s, roundTrip, coherence) +
                  fadedAiryReflectance(outerP.real(), bottom.p, roundTrip, coherence));
}

double interfaceReflectance(double c1, double n1, Complex n3) {
    if (!(c1 > 0.0)) return 1.0;
    const double tangentialSquared = n1 * n1 * (1.0 - c1 * c1);
    const Complex outerNormal = n1 * c1;
    const Complex baseNormal = normalComponent(n3, tangentialSquared);
    const Complex s = reflectS(outerNormal, baseNormal);
    const Complex p = reflectP(outerNormal, baseNormal, n1 * n1, n3 * n3);
    return 0.5 * (std::norm(s) + std::norm(p));
}

}  // namespace nacrelle
