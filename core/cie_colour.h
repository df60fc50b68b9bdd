// The colour of a reflectance spectrum: illuminant D65 seen by the CIE 1931
// 2-degree observer, in linear sRGB, white being exactly (1, 1, 1).
#pragma once

namespace nacrelle {

/// The spectrum is sampled at 380, 385, ..., 780 nm.
inline constexpr int kSpectralSamples = 81;

/// Wavelength of sample `i`, in nm.
double spectralWavelength(int i);

/// Everything the spectral colour needs that depends on nothing but the CIE
/// tables. Built once (spectralTables), read-only afterwards.
struct SpectralTables {
    /// Linear-sRGB weight of each sample per channel: a channel is the
    /// weighted sum of the reflectances. Each channel's weights sum to 1, so
    /// that a perfect reflector, and total reflection, is white.
    double weights[kSpectralSamples][3];

    /// The weighted sums of cos(2 pi x / lambda) per channel, tabulated over
    /// the optical path x with their derivatives for cubic interpolation. An
    /// Airy sum is a series of such cosines, so a film's spectral colour
    /// needs a few lookups instead of one cosine per wavelength. Longer paths
    /// (thick films of a high index) are summed as they come.
    static constexpr double kPathStep = 16.0;  // nm
    static constexpr int kPathCount = 6001;    // 0 to 96000 nm
    static constexpr double kPathLimit = (kPathCount - 1) * kPathStep;
    struct PathEntry {
        double sum[3];    // at x = index * kPathStep
        double slope[3];  // derivative times kPathStep
    };
    PathEntry paths[kPathCount];
};

/// The tables, built on the first call. Call it outside evaluation (when a
/// map updates), so that render threads only read them.
const SpectralTables& spectralTables();

/// Linear sRGB of the spectrum `reflectance` (one value per sample).
void spectrumToRgb(const SpectralTables& tables, const double* reflectance, double rgb[3]);

/// The weighted sums of cos(2 pi x / lambda) at optical path `x` nm (either
/// sign): interpolated in the table, or summed past its end.
void pathCosineSums(const SpectralTables& tables, double x, double sums[3]);

}  // namespace nacrelle
