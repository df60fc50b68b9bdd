#include "core/thin_film.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/film_terms.h"

namespace nacrelle {
namespace {

constexpr FilmStack kDefaultStack{1.0f, 1.5f, 1.0f, 250.0f, 350.0f};

// Half a unit in the last of four decimals.
constexpr float kFourDecimals = 5e-5f;

struct ColourExample {
    float c1, m;
    Colour expected;
};

TEST(ReflectanceColour, WorkedExamplesWithDefaultStack) {
    const ColourExample examples[] = {
        {1.0f, 0.0f, {0.0361f, 0.1469f, 0.1403f, 1}}, {0.5f, 0.0f, {0.0166f, 0.1342f, 0.1988f, 1}},
        {1.0f, 0.5f, {0.1318f, 0.0730f, 0.0180f, 1}}, {1.0f, 1.0f, {0.1318f, 0.0058f, 0.0615f, 1}},
        {0.5f, 0.5f, {0.0716f, 0.2542f, 0.2559f, 1}}, {0.5f, 1.0f, {0.2151f, 0.2151f, 0.1294f, 1}},
        // A map value above 1 extrapolates the thickness to 450 nm.
        {1.0f, 2.0f, {0.0098f, 0.1221f, 0.0378f, 1}},
    };
    for (const auto& e : examples) {
        SCOPED_TRACE(testing::Message() << "c1 " << e.c1 << ", m " << e.m);
        const Colour c = reflectanceColour(e.c1, e.m, kDefaultStack);
        EXPECT_NEAR(c.r, e.expected.r, kFourDecimals);
        EXPECT_NEAR(c.g, e.expected.g, kFourDecimals);
        EXPECT_NEAR(c.b, e.expected.b, kFourDecimals);
        EXPECT_EQ(c.a, 1.0f);
    }
}

struct TermsExample {
    float c1;
    double c2, c3, delta, k, rhoS, rhoP, tauS, tauP, transS, transP, q, reflectance;
};

// Every intermediate value of the red channel (650 nm, 250 nm, indices
// 1.0 / 1.5 / 1.0) to the digits given; the tolerance is half a unit of the
// last digit given.
TEST(FilmReflectance, RedChannelIntermediateValues) {
    const TermsExample examples[] = {
        {1.0f, 1.0, 1.0, 7.2498293, 0.5680647, 0.04, 0.04, 0.96, 0.96, 0.9638607, 0.9638607,
         1.0, 0.0361393},
        {0.5f, 0.8164966, 0.5, 5.9194608, 0.9345783, 0.1765715, 0.0018019, 0.8234285, 0.9981980,
         0.9670488, 0.9997633, 1.0, 0.0165940},
    };
    for (const auto& e : examples) {
        SCOPED_TRACE(testing::Message() << "c1 " << e.c1);
        const FilmTerms t = filmTerms(e.c1, 650.0f, 250.0f, 1.0f, 1.5f, 1.0f);
        // Compared in double: the decimals given are of the float's exact value.
        EXPECT_NEAR(t.c2, e.c2, 5e-8);
        EXPECT_NEAR(t.c3, e.c3, 5e-8);
        EXPECT_EQ(t.halfWaveShift, 0.0f);
        EXPECT_NEAR(t.delta, e.delta, 5e-8);
        EXPECT_NEAR(t.k, e.k, 5e-8);
        EXPECT_NEAR(t.rhoS, e.rhoS, 5e-8);
        EXPECT_NEAR(t.rhoP, e.rhoP, 5e-8);
        EXPECT_NEAR(t.tauS, e.tauS, 5e-8);
        EXPECT_NEAR(t.tauP, e.tauP, 5e-8);
        EXPECT_NEAR(t.transS, e.transS, 5e-8);
        EXPECT_NEAR(t.transP, e.transP, 5e-8);
        EXPECT_EQ(t.q, e.q);
        EXPECT_NEAR(t.reflectance, e.reflectance, 5e-8);
        EXPECT_EQ(filmReflectance(e.c1, 650.0f, 250.0f, 1.0f, 1.5f, 1.0f), t.reflectance);
    }
}

struct SpotValue {
    const char* what;
    float c1, lambda, d, n1, n2, n3;
    float expected, tolerance;
};

TEST(FilmReflectance, PhysicalSpotValues) {
    const SpotValue values[] = {
        // A film index between the other two shifts the pattern by half a wave:
        // a 1.38 layer on 1.5 glass reflects less than the bare 4 %.
        {"half-wave, 650 nm", 1.0f, 650.0f, 0.0f, 1.0f, 1.38f, 1.5f, 0.0141f, 5e-5f},
        {"half-wave, 510 nm", 1.0f, 510.0f, 0.0f, 1.0f, 1.38f, 1.5f, 0.0141f, 5e-5f},
        {"half-wave, 475 nm", 1.0f, 475.0f, 0.0f, 1.0f, 1.38f, 1.5f, 0.0141f, 5e-5f},
        {"quarter-wave 1.22", 1.0f, 550.0f, 550.0f / (4.0f * 1.22f), 1.0f, 1.22f, 1.5f, 0.0400f,
         5e-5f},
        // Film index equal to the outer one: only the inner interface reflects.
        {"n1 = n2, thin", 1.0f, 650.0f, 100.0f, 1.5f, 1.5f, 1.0f, 0.0400f, 5e-5f},
        {"n1 = n2, thick", 1.0f, 475.0f, 2000.0f, 1.5f, 1.5f, 1.0f, 0.0400f, 5e-5f},
        // Just above the critical angle of 1.5 -> 1.0.
        {"TIR border", 0.745356f, 650.0f, 250.0f, 1.5f, 1.0f, 1.0f, 0.9980f, 5e-5f},
        // Total reflection at the top, and at the inner interface only.
        {"TIR top", 0.5f, 650.0f, 250.0f, 1.5f, 1.0f, 1.0f, 1.0f, 0.0f},
        {"TIR top, below border", 0.7453f, 510.0f, 250.0f, 1.5f, 1.0f, 1.0f, 1.0f, 0.0f},
        {"TIR inner", 0.5f, 650.0f, 250.0f, 1.5f, 2.0f, 1.0f, 1.0f, 0.0f},
        // The film's own critical angle: u2 is exactly 1, so c2 is 0.
        {"film critical angle", 0.8660254f, 650.0f, 250.0f, 1.0f, 0.5f, 1.2f, 1.0f, 0.0f},
        // Grazing view: exactly 0, and so small that the flux ratio overflows.
        {"c1 = 0", 0.0f, 650.0f, 250.0f, 1.0f, 1.5f, 1.0f, 1.0f, 0.0f},
        {"c1 = 1e-44", 1e-44f, 650.0f, 250.0f, 1.0f, 1.5f, 1.2f, 1.0f, 0.0f},
        {"c1 = 1e-45 * 0.2", 1.4e-45f, 510.0f, 250.0f, 0.2f, 1.5f, 1.2f, 1.0f, 0.0f},
    };
    for (const auto& v : values) {
        SCOPED_TRACE(v.what);
        const float r = filmReflectance(v.c1, v.lambda, v.d, v.n1, v.n2, v.n3);
        EXPECT_NEAR(r, v.expected, v.tolerance);
        EXPECT_FALSE(std::isnan(r));
    }
}

TEST(FilmReflectance, TotalReflectionTermsAtTheBorder) {
    // n1/n2 = 1.5 at c1 = 0.5: u2 = 2.25 * 0.75.
    const FilmTerms t = filmTerms(0.5f, 650.0f, 250.0f, 1.5f, 1.0f, 1.0f);
    EXPECT_EQ(t.reflectance, 1.0f);
    EXPECT_EQ(t.c2, 0.0f);  // left unset by the early return
    // Inner interface only: the film angle exists, the inner one does not.
    const FilmTerms inner = filmTerms(0.5f, 650.0f, 250.0f, 1.5f, 2.0f, 1.0f);
    EXPECT_NEAR(inner.c2, std::sqrt(1.0f - 0.421875f), 1e-7f);
    EXPECT_EQ(inner.reflectance, 1.0f);
    EXPECT_EQ(reflectanceColour(0.5f, 0.0f, {1.5f, 2.0f, 1.0f, 250.0f, 350.0f}).r, 1.0f);
}

TEST(FilmReflectance, EqualIndicesReflectNothing) {
    for (float n : {1.0f, 1.33f, 2.4f}) {
        for (float d : {0.0f, 250.0f, 3000.0f}) {
            for (float lambda : {kWavelengthRed, kWavelengthGreen, kWavelengthBlue}) {
                EXPECT_EQ(filmReflectance(1.0f, lambda, d, n, n, n), 0.0f) << n << " " << d;
                for (int i = 1; i <= 10; ++i) {
                    const float c1 = 0.1f * static_cast<float>(i);
                    EXPECT_NEAR(filmReflectance(c1, lambda, d, n, n, n), 0.0f, 3e-7f);
                }
            }
        }
    }
    EXPECT_NEAR(filmReflectance(0.3f, 650.0f, 250.0f, 1.0f, 1.0f, 1.0f), -1.2e-7f, 0.6e-7f);
}

TEST(FilmReflectance, ZeroThicknessFilmVanishes) {
    EXPECT_NEAR(filmReflectance(1.0f, 650.0f, 0.0f, 1.0f, 1.5f, 1.0f), 0.0f, 3e-7f);
    EXPECT_NEAR(filmReflectance(0.5f, 650.0f, 0.0f, 1.0f, 1.5f, 1.0f), 0.0f, 3e-7f);
    for (int i = 1; i <= 10; ++i) {
        const float c1 = 0.1f * static_cast<float>(i);
        for (float lambda : {kWavelengthRed, kWavelengthGreen, kWavelengthBlue}) {
            EXPECT_NEAR(filmReflectance(c1, lambda, 0.0f, 1.0f, 1.5f, 1.0f), 0.0f, 1e-6f) << c1;
        }
    }
}

TEST(ReflectanceColour, NearGrazingView) {
    const Colour c = reflectanceColour(0.01f, 0.0f, kDefaultStack);
    EXPECT_NEAR(c.r, 0.9947f, kFourDecimals);
    EXPECT_NEAR(c.g, 0.9892f, kFourDecimals);
    EXPECT_NEAR(c.b, 0.9965f, kFourDecimals);
    // u3 rounds to 1, so c3 and q are 0 and the result is exactly white.
    const Colour white = reflectanceColour(0.0001f, 0.0f, kDefaultStack);
    EXPECT_EQ(white.r, 1.0f);
    EXPECT_EQ(white.g, 1.0f);
    EXPECT_EQ(white.b, 1.0f);
    EXPECT_EQ(white.a, 1.0f);
    const Colour grazing = reflectanceColour(0.0f, 0.0f, kDefaultStack);
    EXPECT_EQ(grazing.r, 1.0f);
    EXPECT_EQ(grazing.g, 1.0f);
    EXPECT_EQ(grazing.b, 1.0f);
}

TEST(ReflectanceColour, CosineSlightlyAboveOneStillComputes) {
    // A view or normal vector a little off unit length is not clamped.
    const Colour c = reflectanceColour(1.0000001f, 0.0f, kDefaultStack);
    EXPECT_NEAR(c.r, 0.0361f, kFourDecimals);
    EXPECT_FALSE(std::isnan(c.g));
}

TEST(ReflectanceColour, NanInputNeverLeavesTheClamp) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(std::isnan(filmReflectance(nan, 650.0f, 250.0f, 1.0f, 1.5f, 1.0f)));
    EXPECT_TRUE(std::isnan(filmReflectance(0.5f, 650.0f, 250.0f, 1.0f, nan, 1.0f)));
    for (const Colour& c : {reflectanceColour(nan, 0.0f, kDefaultStack),
                            reflectanceColour(0.5f, nan, kDefaultStack)}) {
        EXPECT_EQ(c.r, 0.0f);
        EXPECT_EQ(c.g, 0.0f);
        EXPECT_EQ(c.b, 0.0f);
        EXPECT_EQ(c.a, 1.0f);
    }
}

TEST(Colour, ClampMinMaxLimitsEveryComponent) {
    const float inf = std::numeric_limits<float>::infinity();
    Colour c{-0.5f, 1.5f, std::numeric_limits<float>::quiet_NaN(), inf};
    c.clampMinMax();
    EXPECT_EQ(c.r, 0.0f);
    EXPECT_EQ(c.g, 1.0f);
    EXPECT_EQ(c.b, 0.0f);
    EXPECT_EQ(c.a, 1.0f);
    Colour inside{0.25f, 0.0f, 1.0f, 0.5f};
    inside.clampMinMax();
    EXPECT_EQ(inside.r, 0.25f);
    EXPECT_EQ(inside.b, 1.0f);
    EXPECT_EQ(inside.a, 0.5f);
}

}  // namespace
}  // namespace nacrelle
