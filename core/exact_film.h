// The exact reflectance of one film: the Airy sum of the Fresnel amplitudes
// with their own phases, for a transparent or an absorbing base.
#pragma once

#include <complex>

namespace nacrelle {

/// A film of real index `n2` and thickness `d` nm on a base whose index may
/// be complex (n + ik, k >= 0 absorbs), seen from a transparent outer medium
/// `n1` at viewing cosine `c1`. Everything that does not depend on the
/// wavelength or the base is worked out once, in double precision.
///
/// Covers total reflection at either interface (exactly 1 on a transparent
/// base), light tunnelling through a film that is below its critical angle,
/// and metals. Grazing view (c1 <= 0) reflects everything.
class ExactFilm {
public:
    ExactFilm(double c1, double d, double n1, double n2);

    /// Unpolarised reflectance (the mean of s and p) at `lambda` nm on a base
    /// of index `n3`.
    double reflectance(double lambda, std::complex<double> n3) const;

    /// The same with only `coherence` (0 to 1, sampleCoherence) of the
    /// interference kept: the m-th pass through the film weighs coherence^m,
    /// and 0 leaves the incoherent (phase-averaged) reflectance. Light
    /// tunnelling through the film has no fringes and keeps all of it.
    double reflectance(double lambda, std::complex<double> n3, double coherence) const;

    /// The optical path of one round trip in the film, nm: 0 while the film
    /// is below its critical angle.
    double roundTripPath() const;

private:
    bool grazing;
    double thickness;
    double tangentialSquared;         // (n1 sin theta1)^2, the same in every medium
    double filmIndexSquared;
    std::complex<double> filmNormal;  // n2 cos theta2: imaginary while the film is below its critical angle
    std::complex<double> outerS, outerP;  // reflection amplitudes from the outer medium into the film
};

/// Reflection amplitudes of s and p light from a film into its base.
struct BaseReflection {
    std::complex<double> s, p;
};

/// The amplitudes from a film of squared index `filmIndexSquared` into a base
/// of index `n3`, for light whose normal part in the film is `filmNormal`
/// (n2 cos theta2) and whose tangential part squared is `tangentialSquared`.
BaseReflection baseReflection(std::complex<double> filmNormal, double filmIndexSquared,
                              double tangentialSquared, std::complex<double> n3);

/// Unpolarised Fresnel reflectance of the bare interface between `n1` and
/// `n3` at viewing cosine `c1`: what a film of zero thickness reflects.
double interfaceReflectance(double c1, double n1, std::complex<double> n3);

}  // namespace nacrelle
