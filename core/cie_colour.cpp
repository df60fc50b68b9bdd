// Spectral colour: CIE weights and the interference table, built once.
#include "core/cie_colour.h"

#include <cmath>
#include <memory>

#include "core/spectral_data.h"

namespace nacrelle {

namespace {

constexpr double kPi = 3.14159265358979323846;

namespace data = spectral_data;
static_assert(data::kWavelengthCount == kSpectralSamples);
static_assert(data::kFirstWavelength == 380.0 && data::kWavelengthStep == kSampleStep &&
              data::kFirstWavelength + (kSpectralSamples - 1) * data::kWavelengthStep == 780.0);
static_assert(SpectralTables::kPathLimit >= kIncoherentPath);

// The fade's position t (0 coherent, 1 incoherent) at path x, and its rate.
double fadePosition(double lambda, double x) {
    const double fraction = std::fabs(x) / bandCoherenceLength(lambda);
    return (fraction - kCoherenceStart) / (kCoherenceEnd - kCoherenceStart);
}

// XYZ to linear sRGB (IEC 61966-2-1).
constexpr double kXyzToRgb[3][3] = {
    {3.2406, -1.5372, -0.4986},
    {-0.9689, 1.8758, 0.0415},
    {0.0557, -0.2040, 1.0570},
};

void buildWeights(SpectralTables& tables) {
    double white[3] = {0.0, 0.0, 0.0};
    for (int i = 0; i < kSpectralSamples; ++i) {
        const double* cmf = data::kColourMatching[i];
        const double power = data::kD65[i] * data::kWavelengthStep;
        for (int c = 0; c < 3; ++c) {
            const double* row = kXyzToRgb[c];
            tables.weights[i][c] = (row[0] * cmf[0] + row[1] * cmf[1] + row[2] * cmf[2]) * power;
            white[c] += tables.weights[i][c];
        }
    }
    for (auto& weight : tables.weights) {
        for (int c = 0; c < 3; ++c) weight[c] /= white[c];
    }
}

void buildPaths(SpectralTables& tables) {
    for (int n = 0; n < SpectralTables::kPathCount; ++n) {
        SpectralTables::PathEntry& entry = tables.paths[n];
        const double x = n * SpectralTables::kPathStep;
        entry = {};
        for (int i = 0; i < kSpectralSamples; ++i) {
            const double lambda = spectralWavelength(i);
            const double wavenumber = 2.0 * kPi / lambda;
            // The coherence and its derivative in x, from the smoothstep's.
            const double t = fadePosition(lambda, x);
            const double fadeRate =
                1.0 / ((kCoherenceEnd - kCoherenceStart) * bandCoherenceLength(lambda));
            const double weight = sampleCoherence(lambda, x);
            const double weightSlope = t > 0.0 && t < 1.0 ? -6.0 * t * (1.0 - t) * fadeRate : 0.0;
            const double cosine = weight * std::cos(wavenumber * x);
            const double slope = (weightSlope * std::cos(wavenumber * x) -
                                  weight * wavenumber * std::sin(wavenumber * x)) *
                                 SpectralTables::kPathStep;
            for (int c = 0; c < 3; ++c) {
                entry.sum[c] += tables.weights[i][c] * cosine;
                entry.slope[c] += tables.weights[i][c] * slope;
            }
        }
    }
}

std::unique_ptr<SpectralTables> buildTables() {
    auto tables = std::make_unique<SpectralTables>();
    buildWeights(*tables);
    buildPaths(*tables);
    return tables;
}

}  // namespace

double spectralWavelength(int i) { return data::kFirstWavelength + i * data::kWavelengthStep; }

double bandCoherenceLength(double lambda) { return lambda * lambda / data::kWavelengthStep; }

double sampleCoherence(double lambda, double x) {
    const double t = fadePosition(lambda, x);
    if (!(t > 0.0)) return 1.0;
    if (t >= 1.0) return 0.0;
    return 1.0 - t * t * (3.0 - 2.0 * t);
}

const SpectralTables& spectralTables() {
    static const std::unique_ptr<SpectralTables> tables = buildTables();
    return *tables;
}

void spectrumToRgb(const SpectralTables& tables, const double* reflectance, double rgb[3]) {
    rgb[0] = rgb[1] = rgb[2] = 0.0;
    for (int i = 0; i < kSpectralSamples; ++i) {
        for (int c = 0; c < 3; ++c) rgb[c] += tables.weights[i][c] * reflectance[i];
    }
}

void pathCosineSums(const SpectralTables& tables, double x, double sums[3]) {
    const double position = std::fabs(x) / SpectralTables::kPathStep;
    if (!(position < SpectralTables::kPathCount - 1)) {
        sums[0] = sums[1] = sums[2] = 0.0;
        return;
    }
    const int n = static_cast<int>(position);
    const double t = position - n;
    // Cubic Hermite basis on [n, n + 1].
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double h00 = 2.0 * t3 - 3.0 * t2 + 1.0;
    const double h10 = t3 - 2.0 * t2 + t;
    const double h01 = 3.0 * t2 - 2.0 * t3;
    const double h11 = t3 - t2;
    const SpectralTables::PathEntry& a = tables.paths[n];
    const SpectralTables::PathEntry& b = tables.paths[n + 1];
    for (int c = 0; c < 3; ++c) {
        sums[c] = h00 * a.sum[c] + h10 * a.slope[c] + h01 * b.sum[c] + h11 * b.slope[c];
    }
}

}  // namespace nacrelle
