// The colour of a reflectance spectrum: illuminant D65 seen by the CIE 1931
// 2-degree observer, in linear sRGB, white being exactly (1, 1, 1).
#pragma once

namespace nacrelle {

/// The spectrum is sampled at 380, 385, ..., 780 nm.
inline constexpr int kSpectralSamples = 81;
inline constexpr double kSampleStep = 5.0;  // nm

/// Wavelength of sample `i`, in nm.
double spectralWavelength(int i);

/// Coherence. Each sample stands for the light of a 5 nm band, and a sum at
/// 5 nm steps cannot follow fringes closer than two samples: past that it
/// aliases them into false colours. Real light fades there too, since the
/// eye integrates the whole band; so the interference of a path `x` nm long
/// keeps its full strength up to kCoherenceStart of the band's coherence
/// length lambda^2 / 5 nm and fades smoothly (a cubic smoothstep) to none at
/// kCoherenceEnd, where fringes are 2.5 samples apart, leaving the incoherent
/// (phase-averaged) reflectance.
inline constexpr double kCoherenceStart = 0.2;
inline constexpr double kCoherenceEnd = 0.4;
/// The band's coherence length at `lambda` nm: lambda^2 over the 5 nm step.
double bandCoherenceLength(double lambda);
/// The fraction of the fringes of optical path `x` nm (either sign) left at
/// `lambda`: 1 up to kCoherenceStart of the coherence length, 0 from
/// kCoherenceEnd on.
double sampleCoherence(double lambda, double x);
/// Paths from which no sample keeps any interference: kCoherenceEnd of the
/// longest wavelength's coherence length, 780^2 / 5 nm.
inline constexpr double kIncoherentPath = kCoherenceEnd * 780.0 * 780.0 / kSampleStep;
/// Paths up to which every sample keeps all of it: the shortest wavelength's.
inline constexpr double kCoherentPath = kCoherenceStart * 380.0 * 380.0 / kSampleStep;

/// Everything the spectral colour needs that depends on nothing but the CIE
/// tables. Built once (spectralTables), read-only afterwards.
struct SpectralTables {
    /// Linear-sRGB weight of each sample per channel: a channel is the
    /// weighted sum of the reflectances. Each channel's weights sum to 1, so
    /// that a perfect reflector, and total reflection, is white.
    double weights[kSpectralSamples][3];

    /// The weighted sums of cos(2 pi x / lambda) per channel, each cosine
    /// times the sample's coherence at x, tabulated over the optical path x
    /// with their derivatives for cubic interpolation. An Airy sum is a
    /// series of such cosines, so a film's spectral colour needs a few
    /// lookups instead of one cosine per wavelength. Past the table every
    /// sum is 0: no sample keeps any interference there.
    static constexpr double kPathStep = 16.0;  // nm
    static constexpr int kPathCount = static_cast<int>(kIncoherentPath / kPathStep) + 2;
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

/// The weighted sums of the coherent part of cos(2 pi x / lambda) at optical
/// path `x` nm (either sign): interpolated in the table, 0 past its end.
void pathCosineSums(const SpectralTables& tables, double x, double sums[3]);

}  // namespace nacrelle
