// A film on a metal, made ready for the spectral colour. The base's
// reflection amplitudes depend on the wavelength and the angle but not on
// the thickness, and cost complex roots and divisions; tabulated once for a
// map's indices, each sample reads them instead.
#pragma once

#include <vector>

#include "core/cie_colour.h"

namespace nacrelle {

class MetalFilmTable {
public:
    /// Angles tabulated, evenly in the film's cosine: the amplitudes are
    /// smooth in it even near the film's critical angle.
    static constexpr int kNodes = 65;
    /// Film cosines below which a film with a critical angle (an outer index
    /// above its own) is left to the exact sum.
    static constexpr double kCriticalBand = 0.25;

    /// A film of index `n2` on `metal` (1 to 8), seen from a medium of index
    /// `n1`. Allocates; build it when a map updates.
    MetalFilmTable(int metal, double n1, double n2);

    bool isFor(int metal, double n1, double n2) const {
        return metal == metal_ && n1 == n1_ && n2 == n2_;
    }

    /// Linear sRGB of the spectrum a film `d` nm thick reflects at viewing
    /// cosine `c1`, with each wavelength's coherence (sampleCoherence) at
    /// the film's round trip, not clamped. False where the table does not
    /// serve: grazing light, a cosine past 1, light tunnelling through a film
    /// beyond its critical angle, and light within kCriticalBand of that
    /// angle (the caller then sums the exact reflectance).
    bool colour(double c1, double d, double rgb[3]) const;

    /// The samples are summed four at a time, so each row has three more:
    /// wavelengths of weight 0.
    static constexpr int kPadded = kSpectralSamples + 3;
    /// A node's row holds the base's amplitudes, from the film into the
    /// metal, as four runs of kPadded: the real and imaginary parts of s,
    /// then of p; then four more runs of their steps to the next node's, so
    /// that interpolating takes one product and one sum. Single precision is
    /// ample for a colour, and sums twice as many wavelengths an instruction.
    enum Part { kReS, kImS, kReP, kImP, kParts };

private:
    static constexpr int kRowLength = 2 * kParts * kPadded;

    int metal_;
    double n1_, n2_;
    float inverseWavelength_[kPadded];
    float halfWeights_[3][kPadded];  // half the spectral tables' weights, by channel
    // The coherence's fade position is path * fadeRate_ - fadeStart_ per
    // wavelength: 0 where it starts, 1 where no interference is left.
    float fadeRate_[kPadded];
    float fadeStart_;
    double lowestCosine_;      // the film's cosine at grazing light, or 0 past its critical angle
    std::vector<float> rows_;  // kNodes rows
};

}  // namespace nacrelle
