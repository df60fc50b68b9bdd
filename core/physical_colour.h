// The film's colour with the physical-optics options: a spectrum instead of
// three wavelengths, the Fresnel amplitudes' own phases instead of half-wave
// terms, and a metal base. With every option off it is reflectanceColour.
#pragma once

#include "core/cie_colour.h"
#include "core/metal_film_table.h"
#include "core/metal_index.h"
#include "core/thin_film.h"

namespace nacrelle {

/// Which optics a map uses.
struct OpticsOptions {
    bool spectral = false;       ///< colour from the 380-780 nm spectrum
    bool physicalPhase = false;  ///< exact Airy sum instead of half-wave terms
    int baseMetal = kBaseDielectric;  ///< 0: the stack's inner index; 1-8: a metal

    /// True with every option off: the three-wavelength model, bit for bit.
    bool threeWavelengthModel() const {
        return !spectral && !physicalPhase && baseMetal == kBaseDielectric;
    }
    /// A metal base always takes the exact sum: half-wave terms mean nothing
    /// for a complex index.
    bool exactPhases() const { return physicalPhase || baseMetal != kBaseDielectric; }
    /// The spectrum of a film on a metal: what a MetalFilmTable serves.
    bool spectralOnMetal() const { return spectral && baseMetal != kBaseDielectric; }
};

/// The film's colour at viewing cosine `c1` and thickness-map value `m` with
/// `options`, alpha 1, clamped to [0, 1]. `tables` (spectralTables()) is read
/// only when the options are spectral, and may be null otherwise. A spectral
/// metal base reads `metalTable` when it is the table for the stack's
/// indices and that metal, and sums the exact reflectance otherwise.
/// Allocates nothing.
Colour opticalReflectanceColour(float c1, float m, const FilmStack& stack,
                                const OpticsOptions& options, const SpectralTables* tables,
                                const MetalFilmTable* metalTable = nullptr);

/// The reflectance at one wavelength under `options` (spectral ignored): what
/// a channel of the three-wavelength colour holds. For reports and tests.
double opticalReflectance(float c1, double lambda, float d, const FilmStack& stack,
                          const OpticsOptions& options);

}  // namespace nacrelle
