// Reflectance of a thin transparent film, evaluated at one wavelength per
// colour channel. Pure functions over 32-bit floats: no host, no state.
#pragma once

namespace nacrelle {

/// An RGBA colour of four 32-bit floats, laid out like the host's AColor.
struct Colour {
    float r, g, b, a;

    /// Limits every component to [0, 1]; a NaN component becomes 0, so that
    /// no NaN ever leaves the core.
    void clampMinMax();
};

/// The optical snapshot of one evaluation. Indices are dimensionless;
/// thicknesses in nanometres. The map blends thicknessMin (m = 0) to
/// thicknessMax (m = 1); nothing requires thicknessMin <= thicknessMax.
struct FilmStack {
    float nMedium;       ///< n1: outer medium, on the viewer's side
    float nFilm;         ///< n2: the film
    float nInternal;     ///< n3: the coated body
    float thicknessMin;  ///< nm, where the thickness-map value is 0
    float thicknessMax;  ///< nm, where the thickness-map value is 1
};

/// Wavelengths (nm) that stand for the red, green and blue primaries.
inline constexpr float kWavelengthRed = 650.0f;
inline constexpr float kWavelengthGreen = 510.0f;
inline constexpr float kWavelengthBlue = 475.0f;

/// Film thickness in nm at thickness-map value `m`: thicknessMin at 0,
/// thicknessMax at 1, extrapolated outside [0, 1].
inline float filmThickness(float m, const FilmStack& stack) {
    return (1.0f - m) * stack.thicknessMin + m * stack.thicknessMax;
}

/// Reflectance R in [0, 1] (up to rounding) of a film of thickness `d` nm and
/// index `n2` between media `n1` (viewer side) and `n3`, seen at cosine `c1`
/// from the normal, at wavelength `lambda` nm. Unpolarised: the mean of the
/// s and p Airy transmissions, R = 1 - T. Exactly 1 under total reflection at
/// either interface, at the film's critical angle, and at c1 = 0.
float filmReflectance(float c1, float lambda, float d, float n1, float n2, float n3);

/// The film's colour at viewing cosine `c1` and thickness-map value `m`
/// (extrapolates outside [0, 1]): reflectance at 650, 510 and 475 nm, alpha 1,
/// clamped to [0, 1].
Colour reflectanceColour(float c1, float m, const FilmStack& stack);

}  // namespace nacrelle
