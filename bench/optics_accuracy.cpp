// nacrelle_optics_accuracy: how far the spectral colour's fast paths lie
// from the exact sum at 5 nm, per outer index. For each outer index it
// prints the worst difference in any linear channel (each clamped to
// [0, 1], as the map clamps it) and where it is, for
//
// - the metal table against the exact sum, wavelength by wavelength, on all
//   eight metals under films of several indices, at cosines from 0.05 to 1
//   (evenly, and crowded just past the film's critical angle where the
//   outer index exceeds the film's), and thicknesses from 0 to 1 um with
//   5, 25 and 100 um;
// - the dielectric series against the same exact sum of the Airy
//   reflectance's Fourier series, over films of 0 to 3000 nm on two bases.
//
//   nacrelle_optics_accuracy            # outer indices 1.0, 1.1, ..., 1.6
//   nacrelle_optics_accuracy 1.33 1.5   # these outer indices
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/metal_film_table.h"
#include "core/physical_colour.h"

namespace nacrelle::bench {
namespace {

struct Worst {
    double error = 0.0;
    double base = 0.0;  // the metal's number, or a dielectric base's index
    double n2 = 0.0, c1 = 0.0, d = 0.0;

    void take(double e, double b, double filmIndex, double cosine, double thickness) {
        if (e > error) *this = {e, b, filmIndex, cosine, thickness};
    }
};

double channelError(const double rgb[3], const Colour& exact) {
    return std::max({std::fabs(std::clamp(rgb[0], 0.0, 1.0) - exact.r),
                     std::fabs(std::clamp(rgb[1], 0.0, 1.0) - exact.g),
                     std::fabs(std::clamp(rgb[2], 0.0, 1.0) - exact.b)});
}

// Cosines from 0.05 to 1, and where the film has a critical angle inside
// that range, a crowd of them just past it.
std::vector<double> cosines(double n1, double n2) {
    std::vector<double> c;
    for (int i = 0; i <= 190; ++i) c.push_back(0.05 + 0.005 * i);
    if (n1 > n2) {
        const double critical = std::sqrt(1.0 - (n2 / n1) * (n2 / n1));
        for (const double past : {1e-7, 1e-6, 1e-5, 3e-5, 1e-4, 3e-4, 1e-3, 2e-3, 4e-3, 7e-3, 1e-2,
                                  1.5e-2, 2e-2, 3e-2}) {
            if (critical + past >= 0.05) c.push_back(critical + past);
        }
    }
    return c;
}

std::vector<double> thicknesses() {
    std::vector<double> d;
    for (double t = 0.0; t <= 1000.0; t += 37.0) d.push_back(t);
    d.insert(d.end(), {4999.0, 25013.0, 99991.0});
    return d;
}

void metalRow(double n1, Worst& steep, Worst& any) {
    const SpectralTables& tables = spectralTables();
    const std::vector<double> ds = thicknesses();
    for (const double n2 : {1.0, 1.05, 1.2, 1.38, 1.5, 1.56, 2.0, 2.4}) {
        const std::vector<double> cs = cosines(n1, n2);
        for (int metal = kBaseGold; metal <= kBaseMetalLast; ++metal) {
            const MetalFilmTable table(metal, n1, n2);
            const OpticsOptions options{true, false, metal};
            for (const double d : ds) {
                const FilmStack stack{static_cast<float>(n1), static_cast<float>(n2), 1.0f,
                                      static_cast<float>(d), static_cast<float>(d)};
                for (const double c1 : cs) {
                    const float c = static_cast<float>(c1);
                    double rgb[3];
                    if (!table.colour(c, static_cast<float>(d), rgb)) continue;
                    const Colour exact = opticalReflectanceColour(c, 0.0f, stack, options, &tables);
                    const double e = channelError(rgb, exact);
                    (c1 >= 0.7 ? steep : any).take(e, metal, n2, c, d);
                }
            }
        }
    }
}

// A dielectric film's colour summed wavelength by wavelength from the Airy
// sum's Fourier series, each pass m weighing the coherence at its own path
// m x, as the series the map evaluates does:
//   1 - R = (1 - R_mean) (1 + 2 sum_m g(m x) (-r b)^m cos(m delta))
// per polarisation, r and b the real amplitudes at the film's two faces.
Colour exactDielectric(double c1, double d, double n1, double n2, double n3) {
    const double s2 = n1 * n1 * (1.0 - c1 * c1);
    const double e1 = n1 * c1, e2 = std::sqrt(n2 * n2 - s2), e3 = std::sqrt(n3 * n3 - s2);
    const double rS = (e1 - e2) / (e1 + e2), bS = (e2 - e3) / (e2 + e3);
    const double rP = (n2 * n2 * e1 - n1 * n1 * e2) / (n2 * n2 * e1 + n1 * n1 * e2);
    const double bP = (n3 * n3 * e2 - n2 * n2 * e3) / (n3 * n3 * e2 + n2 * n2 * e3);
    const double path = 2.0 * d * e2;
    double reflectance[kSpectralSamples];
    for (int i = 0; i < kSpectralSamples; ++i) {
        const double lambda = spectralWavelength(i);
        const double delta = 2.0 * 3.14159265358979323846 * path / lambda;
        double loss = 0.0;
        for (const auto& [r, b] : {std::pair{rS, bS}, std::pair{rP, bP}}) {
            const double meanLoss = (1.0 - r * r) * (1.0 - b * b) / (1.0 - r * r * b * b);
            double series = 1.0, power = 1.0;
            for (int m = 1; m < 100000 && std::fabs(power) > 1e-12; ++m) {
                power *= -r * b;
                series += 2.0 * power * sampleCoherence(lambda, m * path) * std::cos(m * delta);
            }
            loss += 0.5 * meanLoss * series;
        }
        reflectance[i] = 1.0 - loss;
    }
    double rgb[3];
    spectrumToRgb(spectralTables(), reflectance, rgb);
    Colour colour{static_cast<float>(rgb[0]), static_cast<float>(rgb[1]),
                  static_cast<float>(rgb[2]), 1.0f};
    colour.clampMinMax();
    return colour;
}

void dielectricRow(double n1, Worst& worst) {
    const SpectralTables& tables = spectralTables();
    const OpticsOptions options{true, true, kBaseDielectric};
    for (const double n2 : {1.2, 1.38, 1.56, 2.0, 2.4}) {
        for (const double n3 : {1.0, 1.52}) {
            for (double d = 0.0; d <= 3000.0; d += 23.0) {
                const FilmStack stack{static_cast<float>(n1), static_cast<float>(n2),
                                      static_cast<float>(n3), static_cast<float>(d),
                                      static_cast<float>(d)};
                for (int i = 0; i <= 95; ++i) {
                    const float c = static_cast<float>(0.05 + 0.01 * i);
                    // Light past the film's critical angle tunnels: the map
                    // sums it wavelength by wavelength.
                    // Beyond the base's critical angle the film reflects all.
                    const double tangential = n1 * n1 * (1.0 - c * c);
                    if (tangential >= n2 * n2 - 1e-4 || tangential >= n3 * n3) continue;
                    const Colour fast = opticalReflectanceColour(c, 0.0f, stack, options, &tables);
                    const Colour exact = exactDielectric(c, stack.thicknessMin, stack.nMedium,
                                                         stack.nFilm, stack.nInternal);
                    const double rgb[3] = {fast.r, fast.g, fast.b};
                    worst.take(channelError(rgb, exact), n3, n2, c, d);
                }
            }
        }
    }
}

const char* metalName(double metal) {
    static const char* const names[] = {"",         "gold", "silver",   "copper", "aluminium",
                                        "chromium", "iron", "titanium", "niobium"};
    const int index = static_cast<int>(metal);
    return index >= 1 && index <= 8 ? names[index] : "?";
}

}  // namespace
}  // namespace nacrelle::bench

int main(int argc, char** argv) {
    using namespace nacrelle::bench;
    std::vector<double> outer;
    for (int i = 1; i < argc; ++i) {
        char* end = nullptr;
        const double n1 = std::strtod(argv[i], &end);
        if (end == argv[i] || *end != '\0' || !(n1 >= 1.0 && n1 <= 3.0)) {
            std::fprintf(stderr,
                         "nacrelle_optics_accuracy: \"%s\" is not an outer index from 1 to 3\n",
                         argv[i]);
            return 2;
        }
        outer.push_back(n1);
    }
    if (outer.empty()) outer = {1.0, 1.1, 1.2, 1.3, 1.4, 1.5, 1.6};
    std::printf(
        "| outer index | metal table, cosine 0.7 to 1 | metal table, cosine 0.05 to 1 "
        "| dielectric series, cosine 0.05 to 1 |\n|---|---|---|---|\n");
    for (const double n1 : outer) {
        Worst steep, any, dielectric;
        metalRow(n1, steep, any);
        dielectricRow(n1, dielectric);
        any.take(steep.error, steep.base, steep.n2, steep.c1, steep.d);
        std::printf(
            "| %.2f | %.1e (%s under %.2f, cosine %.5f, %.0f nm) "
            "| %.1e (%s under %.2f, cosine %.5f, %.0f nm) "
            "| %.1e (%.2f on %.2f, cosine %.2f, %.0f nm) |\n",
            n1, steep.error, metalName(steep.base), steep.n2, steep.c1, steep.d, any.error,
            metalName(any.base), any.n2, any.c1, any.d, dielectric.error, dielectric.n2,
            dielectric.base, dielectric.c1, dielectric.d);
        std::fflush(stdout);
    }
    return 0;
}
