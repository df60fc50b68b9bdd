// Exact result bits over a grid of samples, checked against a stored table.
// The table was written by this code and guards against any change of
// compiler flags, optimisation level, instruction set or order of operations
// that moves a single bit. To rewrite it after a deliberate change of the
// model: NACRELLE_WRITE_REGRESSION_TABLE=1 ./core_tests --gtest_filter='Regression*'

#include <gtest/gtest.h>

#include <bit>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/film_colour.h"

namespace nacrelle {
namespace {

struct Sample {
    float cosine, m;
    FilmStack stack;
    ColourAdjust adjust;
};

std::vector<Sample> sampleGrid() {
    const float cosines[] = {0.0f, 1e-4f, 0.01f, 0.1f, 0.25f, 0.3f, 0.5f, 0.745356f, 0.8660254f,
                             0.93f, 0.99f, 1.0f};
    const float mapValues[] = {0.0f, 0.37f, 1.0f, 1.5f};
    const float thicknesses[][2] = {{0.0f, 1000.0f}, {250.0f, 350.0f}, {3000.0f, 0.0f},
                                    {100.0f, 3000.0f}};
    const float indices[][3] = {{1.0f, 1.5f, 1.0f}, {1.0f, 1.33f, 1.5f}, {1.5f, 1.0f, 1.0f},
                                {1.0f, 2.4f, 1.2f}, {1.33f, 1.1f, 3.0f}, {0.2f, 100.0f, 0.2f}};
    const ColourAdjust adjusts[] = {{0.0f, 0.0f, 1.0f},
                                    {37.5f, -20.0f, 0.45f},
                                    {-180.0f, 100.0f, 2.2f},
                                    {90.0f, 55.0f, 20.0f}};
    std::vector<Sample> samples;
    for (float c : cosines)
        for (float m : mapValues)
            for (const auto& t : thicknesses)
                for (const auto& n : indices)
                    for (const auto& a : adjusts)
                        samples.push_back({c, m, {n[0], n[1], n[2], t[0], t[1]}, a});
    return samples;
}

// One line per sample: the three raw reflectances, then the adjusted colour.
std::string resultLine(const Sample& s) {
    const float d = filmThickness(s.m, s.stack);
    const float lambdas[] = {kWavelengthRed, kWavelengthGreen, kWavelengthBlue};
    std::uint32_t bits[7];
    for (int i = 0; i < 3; ++i) {
        bits[i] = std::bit_cast<std::uint32_t>(filmReflectance(
            s.cosine, lambdas[i], d, s.stack.nMedium, s.stack.nFilm, s.stack.nInternal));
    }
    const Colour c = filmColour(s.cosine, s.m, s.stack, s.adjust);
    bits[3] = std::bit_cast<std::uint32_t>(c.r);
    bits[4] = std::bit_cast<std::uint32_t>(c.g);
    bits[5] = std::bit_cast<std::uint32_t>(c.b);
    bits[6] = std::bit_cast<std::uint32_t>(c.a);
    char line[8 * 7 + 8];
    std::snprintf(line, sizeof line, "%08" PRIx32 " %08" PRIx32 " %08" PRIx32 " %08" PRIx32
                  " %08" PRIx32 " %08" PRIx32 " %08" PRIx32,
                  bits[0], bits[1], bits[2], bits[3], bits[4], bits[5], bits[6]);
    return line;
}

std::string describe(const Sample& s) {
    std::ostringstream out;
    out << "cosine " << s.cosine << ", m " << s.m << ", indices " << s.stack.nMedium << "/"
        << s.stack.nFilm << "/" << s.stack.nInternal << ", thickness " << s.stack.thicknessMin
        << "-" << s.stack.thicknessMax << ", hue " << s.adjust.hueShift << ", sat "
        << s.adjust.saturationOffset << ", gamma " << s.adjust.gamma;
    return out.str();
}

TEST(RegressionTable, EveryResultBitMatches) {
    const std::vector<Sample> samples = sampleGrid();
    ASSERT_GT(samples.size(), 4000u);

    if (std::getenv("NACRELLE_WRITE_REGRESSION_TABLE") != nullptr) {
        std::ofstream out(NACRELLE_REGRESSION_TABLE);
        for (const Sample& s : samples) out << resultLine(s) << '\n';
        ASSERT_TRUE(out.good()) << "could not write " << NACRELLE_REGRESSION_TABLE;
        GTEST_SKIP() << "wrote " << samples.size() << " lines to " << NACRELLE_REGRESSION_TABLE;
    }

    std::ifstream in(NACRELLE_REGRESSION_TABLE);
    ASSERT_TRUE(in.good()) << "missing " << NACRELLE_REGRESSION_TABLE;
    std::vector<std::string> expected;
    for (std::string line; std::getline(in, line);) expected.push_back(line);
    ASSERT_EQ(expected.size(), samples.size()) << "the table and the sample grid differ in size";

    int mismatches = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::string actual = resultLine(samples[i]);
        if (actual != expected[i] && ++mismatches <= 10) {
            ADD_FAILURE() << "sample " << i << " (" << describe(samples[i]) << ")\n  expected "
                          << expected[i] << "\n  actual   " << actual;
        }
    }
    EXPECT_EQ(mismatches, 0) << "result bits moved";
}

}  // namespace
}  // namespace nacrelle
