#include "core/physical_colour.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/exact_film.h"

namespace nacrelle {
namespace {

using Complex = std::complex<double>;

// An independent reference: the film's characteristic (transfer) matrix,
// for one polarisation with tilted admittances eta (n cos for s, n / cos for
// p), in double precision.
double matrixReflectance(double c1, double lambda, double d, double n1, double n2, Complex n3) {
    const double sine2 = n1 * n1 * (1.0 - c1 * c1);
    const auto cosineIn = [&](Complex n) {
        Complex c = std::sqrt(1.0 - sine2 / (n * n));
        // The wave that decays into the medium.
        if ((n * c).imag() < 0.0) c = -c;
        return c;
    };
    const Complex k1 = c1, k2 = cosineIn(n2), k3 = cosineIn(n3);
    const Complex beta = 2.0 * 3.14159265358979323846 * n2 * d * k2 / lambda;
    double total = 0.0;
    for (const bool s : {true, false}) {
        const Complex eta1 = s ? n1 * k1 : n1 / k1;
        const Complex eta2 = s ? n2 * k2 : n2 / k2;
        const Complex eta3 = s ? n3 * k3 : n3 / k3;
        const Complex i(0.0, 1.0);
        // Born and Wolf's matrix, for waves exp(i (k z - omega t)), in which
        // n + ik absorbs.
        const Complex b = std::cos(beta) - i * std::sin(beta) / eta2 * eta3;
        const Complex c = -i * eta2 * std::sin(beta) + std::cos(beta) * eta3;
        total += std::norm((eta1 * b - c) / (eta1 * b + c));
    }
    return 0.5 * total;
}

// Columns of a table in core/data/, read as the build reads them.
std::vector<std::vector<double>> readTable(const std::string& name) {
    std::ifstream file(std::string(NACRELLE_SPECTRAL_DATA_DIR) + "/" + name);
    std::vector<std::vector<double>> rows;
    std::string line;
    std::getline(file, line);  // header
    while (std::getline(file, line)) {
        std::vector<double> row;
        std::stringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) row.push_back(std::stod(field));
        rows.push_back(row);
    }
    return rows;
}

// The spectral colour as defined, summed straight from the CSV files:
// XYZ under D65, the sRGB matrix, each channel over a perfect reflector's.
template <typename Reflectance>
std::array<double, 3> referenceColour(Reflectance reflectance) {
    static const auto cmf = readTable("cie1931_2deg_5nm.csv");
    static const auto d65 = readTable("cie_d65_5nm.csv");
    const double m[3][3] = {{3.2406, -1.5372, -0.4986}, {-0.9689, 1.8758, 0.0415},
                            {0.0557, -0.2040, 1.0570}};
    double xyz[3] = {}, white[3] = {};
    for (std::size_t i = 0; i < cmf.size(); ++i) {
        const double r = reflectance(cmf[i][0], static_cast<int>(i));
        for (int j = 0; j < 3; ++j) {
            xyz[j] += r * d65[i][1] * cmf[i][j + 1] * 5.0;
            white[j] += d65[i][1] * cmf[i][j + 1] * 5.0;
        }
    }
    std::array<double, 3> rgb{};
    for (int c = 0; c < 3; ++c) {
        const double value = m[c][0] * xyz[0] + m[c][1] * xyz[1] + m[c][2] * xyz[2];
        const double whiteValue = m[c][0] * white[0] + m[c][1] * white[1] + m[c][2] * white[2];
        rgb[c] = std::clamp(value / whiteValue, 0.0, 1.0);
    }
    return rgb;
}

// Every colour within `tolerance` of `reference` in each channel.
void expectColoursNear(const std::vector<Colour>& colours, const std::array<double, 3>& reference,
                       double tolerance) {
    for (const Colour& c : colours) {
        EXPECT_NEAR(c.r, reference[0], tolerance);
        EXPECT_NEAR(c.g, reference[1], tolerance);
        EXPECT_NEAR(c.b, reference[2], tolerance);
    }
}

Complex metalFromCsv(int metal, int row) {
    static const auto table = readTable("metals_nk_5nm.csv");
    return {table[row][2 * metal - 1], table[row][2 * metal]};
}

TEST(ExactFilm, QuarterWaveMagnesiumFluorideOnGlass) {
    // 99.6 nm of MgF2 (1.38) on crown glass (1.52) at 550 nm, head on: the
    // lens coating's textbook 1.26 %, ((n1 n3 - n2^2) / (n1 n3 + n2^2))^2.
    const double d = 550.0 / (4.0 * 1.38);
    const double r = ExactFilm(1.0, d, 1.0, 1.38).reflectance(550.0, 1.52);
    EXPECT_NEAR(r, 0.0126, 5e-5);
    const double closed = (1.52 - 1.38 * 1.38) / (1.52 + 1.38 * 1.38);
    EXPECT_NEAR(r, closed * closed, 1e-12);
}

TEST(ExactFilm, AgreesWithTheTransferMatrix) {
    // Dielectric and metal bases, across angles, thicknesses and wavelengths;
    // n1 1.5 over n2 1.0 at c1 0.5 is past the film's critical angle: the
    // light tunnels through a thin film.
    struct Case {
        double n1, n2;
        int metal;
        double n3;
    };
    const Case cases[] = {{1.0, 1.33, 0, 1.0}, {1.0, 1.38, 0, 1.52}, {1.0, 2.4, kBaseTitanium, 0},
                          {1.33, 1.5, kBaseGold, 0}, {1.5, 1.0, 0, 1.5}, {1.0, 1.6, kBaseSilver, 0}};
    for (const Case& k : cases) {
        for (const double c1 : {1.0, 0.8, 0.5, 0.2}) {
            for (const double d : {0.0, 35.0, 120.0, 480.0, 1500.0}) {
                for (const int row : {0, 26, 54, 80}) {
                    const double lambda = 380.0 + 5.0 * row;
                    const Complex n3 = k.metal != 0 ? metalFromCsv(k.metal, row) : Complex(k.n3);
                    SCOPED_TRACE(testing::Message() << k.n1 << "/" << k.n2 << "/" << n3 << " c1 "
                                                    << c1 << " d " << d << " lambda " << lambda);
                    const double r = ExactFilm(c1, d, k.n1, k.n2).reflectance(lambda, n3);
                    EXPECT_NEAR(r, matrixReflectance(c1, lambda, d, k.n1, k.n2, n3), 1e-12);
                    EXPECT_GE(r, 0.0);
                    EXPECT_LE(r, 1.0);
                }
            }
        }
    }
}

TEST(ExactFilm, ReflectanceLiesBetweenZeroAndOneOnEveryMetal) {
    // Every metal at every tabulated wavelength, under films of two indices
    // from none to thick, head on to grazing, seen from air and from water.
    for (int metal = kBaseGold; metal <= kBaseMetalLast; ++metal) {
        for (int row = 0; row < kSpectralSamples; ++row) {
            for (const double n1 : {1.0, 1.33}) {
                for (const double c1 : {1.0, 0.5, 0.05}) {
                    for (const double n2 : {1.38, 2.6}) {
                        for (const double d : {0.0, 60.0, 400.0, 2500.0}) {
                            const double r = ExactFilm(c1, d, n1, n2)
                                                 .reflectance(spectralWavelength(row),
                                                              metalIndexAtRow(metal, row));
                            EXPECT_TRUE(r >= 0.0 && r <= 1.0)
                                << "metal " << metal << " row " << row << " n1 " << n1 << " n2 "
                                << n2 << " c1 " << c1 << " d " << d << ": " << r;
                        }
                    }
                }
            }
        }
    }
}

TEST(ExactFilm, ZeroThicknessIsTheBareInterface) {
    for (const int metal : {0, int(kBaseGold), int(kBaseSilver), int(kBaseAluminium), int(kBaseNiobium)}) {
        for (const double c1 : {1.0, 0.6, 0.1}) {
            const Complex n3 = metal != 0 ? metalIndex(metal, 510.0) : Complex(1.5);
            SCOPED_TRACE(testing::Message() << "base " << metal << " c1 " << c1);
            EXPECT_NEAR(ExactFilm(c1, 0.0, 1.0, 1.38).reflectance(510.0, n3),
                        interfaceReflectance(c1, 1.0, n3), 1e-14);
        }
    }
    // Glass to air, head on: the bare interface's 4 %, where half-wave terms
    // would shift a vanishing film by half a wave.
    EXPECT_NEAR(interfaceReflectance(1.0, 1.5, 1.0), 0.04, 1e-15);
}

TEST(ExactFilm, FrustratedTotalReflectionFadesWithThickness) {
    // Glass / air gap / glass beyond the critical angle: no gap transmits
    // everything, a wide gap reflects everything, and between the two the
    // light tunnels.
    const auto r = [](double d) { return ExactFilm(0.5, d, 1.5, 1.0).reflectance(550.0, 1.5); };
    EXPECT_NEAR(r(0.0), 0.0, 1e-12);
    EXPECT_GT(r(50.0), 0.1);
    EXPECT_LT(r(50.0), r(150.0));
    EXPECT_LT(r(150.0), 1.0);
    EXPECT_NEAR(r(3000.0), 1.0, 1e-9);
}

TEST(MetalIndex, InterpolatesBetweenRowsAndHoldsAtTheEnds) {
    EXPECT_EQ(metalIndex(kBaseGold, 510.0), metalFromCsv(kBaseGold, 26));
    EXPECT_EQ(metalIndex(kBaseCopper, 300.0), metalFromCsv(kBaseCopper, 0));
    EXPECT_EQ(metalIndex(kBaseCopper, 900.0), metalFromCsv(kBaseCopper, 80));
    const Complex between = metalIndex(kBaseIron, 512.5);
    EXPECT_NEAR(std::abs(between - 0.5 * (metalFromCsv(kBaseIron, 26) + metalFromCsv(kBaseIron, 27))),
                0.0, 1e-12);
}

TEST(OpticalColour, AllOptionsOffIsTheThreeWavelengthModelBitForBit) {
    const FilmStack stacks[] = {{1.0f, 1.5f, 1.0f, 250.0f, 350.0f}, {1.0f, 1.38f, 1.52f, 0.0f, 900.0f},
                                {1.5f, 1.0f, 1.0f, 100.0f, 400.0f}};
    for (const FilmStack& stack : stacks) {
        for (float c1 = 0.0f; c1 <= 1.0f; c1 += 0.0625f) {
            for (float m = -0.5f; m <= 1.5f; m += 0.25f) {
                const Colour a = opticalReflectanceColour(c1, m, stack, {}, nullptr);
                const Colour b = reflectanceColour(c1, m, stack);
                EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << c1 << " " << m;
            }
        }
    }
}

TEST(OpticalColour, PerfectReflectorIsWhite) {
    const SpectralTables& tables = spectralTables();
    double ones[kSpectralSamples];
    std::fill(std::begin(ones), std::end(ones), 1.0);
    double rgb[3];
    spectrumToRgb(tables, ones, rgb);
    for (const double channel : rgb) EXPECT_NEAR(channel, 1.0, 1e-14);
    // Total reflection at the base, spectral and exact: white, exactly.
    const OpticsOptions options{true, true, kBaseDielectric};
    const Colour c = opticalReflectanceColour(0.3f, 0.0f, {1.5f, 1.6f, 1.0f, 200.0f, 200.0f},
                                              options, &tables);
    EXPECT_EQ(c.r, 1.0f);
    EXPECT_EQ(c.g, 1.0f);
    EXPECT_EQ(c.b, 1.0f);
}

TEST(OpticalColour, SpectralMatchesTheDefinitionSummedFromTheTables) {
    // The summation of the definition, straight from the CSV files and the
    // transfer matrix, against the series the map evaluates.
    struct Case {
        FilmStack stack;
        float c1, d;
        OpticsOptions options;
    };
    const Case cases[] = {
        {{1.0f, 1.33f, 1.0f, 0, 0}, 1.0f, 300.0f, {true, true, 0}},    // soap film
        {{1.0f, 1.33f, 1.0f, 0, 0}, 1.0f, 1000.0f, {true, true, 0}},   // its hue at 1 um
        {{1.0f, 1.33f, 1.0f, 0, 0}, 0.4f, 1800.0f, {true, true, 0}},   // fading
        {{1.0f, 1.38f, 1.52f, 0, 0}, 0.9f, 99.6f, {true, true, 0}},    // lens coating
        {{1.0f, 2.4f, 1.0f, 0, 0}, 0.7f, 600.0f, {true, true, 0}},
        {{1.0f, 2.4f, 1.0f, 0, 0}, 1.0f, 80.0f, {true, false, kBaseTitanium}},  // anodised titanium
        {{1.0f, 2.2f, 1.0f, 0, 0}, 0.8f, 400.0f, {true, false, kBaseNiobium}},
        {{1.0f, 2.6f, 1.0f, 0, 0}, 0.9f, 45.0f, {true, false, kBaseIron}},      // tempered steel
    };
    const SpectralTables& tables = spectralTables();
    for (const Case& k : cases) {
        FilmStack stack = k.stack;
        stack.thicknessMin = stack.thicknessMax = k.d;
        const auto reference = referenceColour([&](double lambda, int row) {
            const Complex n3 = k.options.baseMetal != 0 ? metalFromCsv(k.options.baseMetal, row)
                                                        : Complex(stack.nInternal);
            return matrixReflectance(k.c1, lambda, k.d, stack.nMedium, stack.nFilm, n3);
        });
        SCOPED_TRACE(testing::Message() << "film " << stack.nFilm << " d " << k.d << " c1 " << k.c1
                                        << " base " << k.options.baseMetal);
        // A metal base both summed exactly and from the table a map makes.
        std::vector<Colour> colours{opticalReflectanceColour(k.c1, 0.0f, stack, k.options, &tables)};
        if (k.options.baseMetal != kBaseDielectric) {
            const MetalFilmTable table(k.options.baseMetal, stack.nMedium, stack.nFilm);
            colours.push_back(opticalReflectanceColour(k.c1, 0.0f, stack, k.options, &tables, &table));
        }
        expectColoursNear(colours, reference, 2e-4);
    }
}

TEST(OpticalColour, MetalTableFollowsTheExactSumOnEveryMetal) {
    // The table interpolates the base's amplitudes in angle; the exact sum,
    // checked against the transfer matrix above, is its reference. Head on
    // to 0.7 (the films an artist makes) it holds to 2e-4, and to 2e-3 at
    // any angle for films up to 1 um. Thick films take its phases through
    // many turns.
    const SpectralTables& tables = spectralTables();
    std::vector<float> thicknesses;
    for (float d = 0.0f; d <= 1000.0f; d += 37.0f) thicknesses.push_back(d);
    thicknesses.insert(thicknesses.end(), {4999.0f, 25013.0f, 99991.0f});
    double worstSteep = 0.0, worstAny = 0.0;
    for (int metal = kBaseGold; metal <= kBaseMetalLast; ++metal) {
        for (const float n1 : {1.0f, 1.33f}) {
            for (const float n2 : {1.38f, 2.0f, 2.6f}) {
                const MetalFilmTable table(metal, n1, n2);
                const OpticsOptions options{true, false, metal};
                for (const float d : thicknesses) {
                    const FilmStack stack{n1, n2, 1.0f, d, d};
                    for (const float c1 : {0.05f, 0.2f, 0.45f, 0.7f, 0.85f, 1.0f}) {
                        const Colour exact = opticalReflectanceColour(c1, 0.0f, stack, options, &tables);
                        double rgb[3];
                        ASSERT_TRUE(table.colour(c1, d, rgb)) << metal << " " << c1;
                        const double error =
                            std::max({std::fabs(std::clamp(rgb[0], 0.0, 1.0) - exact.r),
                                      std::fabs(std::clamp(rgb[1], 0.0, 1.0) - exact.g),
                                      std::fabs(std::clamp(rgb[2], 0.0, 1.0) - exact.b)});
                        (c1 >= 0.7f ? worstSteep : worstAny) =
                            std::max(c1 >= 0.7f ? worstSteep : worstAny, error);
                    }
                }
            }
        }
    }
    EXPECT_LT(worstSteep, 2e-4);
    EXPECT_LT(worstAny, 2e-3);
}

TEST(OpticalColour, MetalTableLeavesWhatItCannotServeToTheExactSum) {
    // Light tunnelling through a film below its critical angle, grazing
    // light, an unnormalised cosine, and a table made for other indices: the
    // exact sum, bit for bit.
    const SpectralTables& tables = spectralTables();
    const OpticsOptions options{true, false, kBaseGold};
    const FilmStack stack{1.5f, 1.2f, 1.0f, 150.0f, 150.0f};
    const MetalFilmTable table(kBaseGold, stack.nMedium, stack.nFilm);
    const MetalFilmTable other(kBaseGold, 1.0, stack.nFilm);
    double rgb[3];
    ASSERT_TRUE(table.colour(0.9, 150.0, rgb));  // the table serves this stack
    // Grazing, past the film's critical angle (1.2 under 1.5), and a cosine
    // past 1 from a normal left unnormalised.
    for (const float c1 : {0.0f, 0.3f, 1.02f}) {
        EXPECT_FALSE(table.colour(c1, 150.0, rgb)) << c1;
        const Colour exact = opticalReflectanceColour(c1, 0.0f, stack, options, &tables);
        const Colour fast = opticalReflectanceColour(c1, 0.0f, stack, options, &tables, &table);
        EXPECT_EQ(std::memcmp(&exact, &fast, sizeof exact), 0) << c1;
    }
    const Colour exact = opticalReflectanceColour(0.9f, 0.0f, stack, options, &tables);
    const Colour mismatched = opticalReflectanceColour(0.9f, 0.0f, stack, options, &tables, &other);
    EXPECT_EQ(std::memcmp(&exact, &mismatched, sizeof exact), 0);
}

TEST(OpticalColour, SpectralHalfWaveTermsSumTheThreeWavelengthReflectance) {
    // With half-wave terms the spectrum is the model's own reflectance at
    // every wavelength; its series must sum exactly that.
    const FilmStack stack{1.0f, 1.38f, 1.52f, 150.0f, 150.0f};
    const auto reference = referenceColour([&](double lambda, int) {
        return filmReflectance(0.6f, static_cast<float>(lambda), 150.0f, 1.0f, 1.38f, 1.52f);
    });
    const Colour c = opticalReflectanceColour(0.6f, 0.0f, stack, {true, false, 0}, &spectralTables());
    EXPECT_NEAR(c.r, reference[0], 2e-4);
    EXPECT_NEAR(c.g, reference[1], 2e-4);
    EXPECT_NEAR(c.b, reference[2], 2e-4);
}

TEST(OpticalColour, ThickFilmsReflectTheIncoherentSum) {
    // Fringes far closer than the 5 nm step wash out: 10 to 100 um films
    // reflect the phase-averaged spectrum, here the transfer matrix averaged
    // over one whole turn of the round trip's phase at every wavelength,
    // on a dielectric and on metals, head on to grazing.
    struct Case {
        double n1, n2, n3;
        OpticsOptions options;
    };
    const Case cases[] = {{1.0, 1.33, 1.0, {true, true, 0}},    // soap film
                          {1.0, 1.33, 1.0, {true, false, 0}},   // the same, half-wave terms
                          {1.0, 2.4, 1.5, {true, true, 0}},
                          {1.33, 1.47, 1.0, {true, true, 0}},
                          {1.0, 2.0, 0.0, {true, false, kBaseGold}},
                          {1.0, 1.38, 0.0, {true, false, kBaseSilver}},
                          {1.5, 1.2, 0.0, {true, false, kBaseCopper}},
                          {1.0, 2.4, 0.0, {true, false, kBaseTitanium}}};
    const SpectralTables& tables = spectralTables();
    constexpr int kPhases = 64;
    for (const Case& k : cases) {
        std::optional<MetalFilmTable> table;
        if (k.options.baseMetal != kBaseDielectric) {
            table.emplace(k.options.baseMetal, static_cast<float>(k.n1), static_cast<float>(k.n2));
        }
        for (const double d : {10000.0, 31000.0, 100000.0}) {
            for (const double c1 : {1.0, 0.8, 0.5, 0.25, 0.1, 0.05}) {
                const double sine2 = k.n1 * k.n1 * (1.0 - c1 * c1) / (k.n2 * k.n2);
                if (sine2 >= 1.0) continue;  // past the film's critical angle: no fringes
                const double path = 2.0 * k.n2 * d * std::sqrt(1.0 - sine2);
                const auto reference = referenceColour([&](double lambda, int row) {
                    const Complex n3 = k.options.baseMetal != 0
                                           ? metalFromCsv(k.options.baseMetal, row)
                                           : Complex(k.n3);
                    double sum = 0.0;
                    for (int j = 0; j < kPhases; ++j) {
                        const double shifted = d * (1.0 + lambda / path * j / kPhases);
                        sum += matrixReflectance(c1, lambda, shifted, k.n1, k.n2, n3);
                    }
                    return sum / kPhases;
                });
                const FilmStack stack{static_cast<float>(k.n1), static_cast<float>(k.n2),
                                      static_cast<float>(k.n3), static_cast<float>(d),
                                      static_cast<float>(d)};
                SCOPED_TRACE(testing::Message() << k.n1 << "/" << k.n2 << "/" << k.n3 << " base "
                                                << k.options.baseMetal << " d " << d << " c1 " << c1);
                std::vector<Colour> colours{opticalReflectanceColour(
                    static_cast<float>(c1), 0.0f, stack, k.options, &tables)};
                if (table) {
                    colours.push_back(opticalReflectanceColour(static_cast<float>(c1), 0.0f, stack,
                                                               k.options, &tables, &*table));
                }
                expectColoursNear(colours, reference, 1e-2);
            }
        }
    }
}

TEST(OpticalColour, MetalTableHoldsJustPastTheCriticalAngle) {
    // An outer index above the film's: just past the film's critical angle
    // both faces reflect nearly all the p light, and the map's colour must
    // still follow the exact sum (the ring 1.5 over 1.2 on silver drew).
    const SpectralTables& tables = spectralTables();
    double worst = 0.0;
    for (const int metal : {int(kBaseSilver), int(kBaseGold), int(kBaseAluminium)}) {
        for (const auto& [n1, n2] : {std::pair{1.5, 1.2}, std::pair{1.6, 1.0}, std::pair{1.33, 1.05},
                                     std::pair{1.6, 1.38}}) {
            // The table for the stack's own (single-precision) indices, or
            // the map would not read it.
            const MetalFilmTable table(metal, static_cast<float>(n1), static_cast<float>(n2));
            const OpticsOptions options{true, false, metal};
            const double critical = std::sqrt(1.0 - (n2 / n1) * (n2 / n1));
            for (const double d : {0.0, 74.0, 296.0, 851.0, 3001.0}) {
                const FilmStack stack{static_cast<float>(n1), static_cast<float>(n2), 1.0f,
                                      static_cast<float>(d), static_cast<float>(d)};
                for (const double past : {1e-6, 1e-5, 1e-4, 1e-3, 4e-3, 1e-2, 2e-2, 4e-2, 8e-2}) {
                    const float c1 = static_cast<float>(critical + past);
                    const Colour exact = opticalReflectanceColour(c1, 0.0f, stack, options, &tables);
                    const Colour fast =
                        opticalReflectanceColour(c1, 0.0f, stack, options, &tables, &table);
                    worst = std::max({worst, double(std::fabs(fast.r - exact.r)),
                                      double(std::fabs(fast.g - exact.g)),
                                      double(std::fabs(fast.b - exact.b))});
                    EXPECT_NEAR(fast.g, exact.g, 2e-3) << metal << " " << n1 << "/" << n2 << " d "
                                                       << d << " past " << past;
                }
            }
        }
    }
    EXPECT_LT(worst, 2e-3);
}

}  // namespace
}  // namespace nacrelle
