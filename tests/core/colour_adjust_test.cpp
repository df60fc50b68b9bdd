#include "core/film_colour.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace nacrelle {
namespace {

constexpr ColourAdjust kNeutral{0.0f, 0.0f, 1.0f};
constexpr float kRounding = 3e-7f;  // "within rounding" per channel
constexpr float kFourDecimals = 5e-5f;
constexpr FilmStack kDefaultStack{1.0f, 1.5f, 1.0f, 250.0f, 350.0f};

void expectColourNear(const Colour& actual, const Rgb& expected, float tolerance) {
    EXPECT_NEAR(actual.r, expected.r, tolerance);
    EXPECT_NEAR(actual.g, expected.g, tolerance);
    EXPECT_NEAR(actual.b, expected.b, tolerance);
}

struct WrapCase {
    float value, lo, hi, expected;
};

TEST(WrapRange, ReducesByWholeRanges) {
    const float inf = std::numeric_limits<float>::infinity();
    const WrapCase cases[] = {
        {725.0f, 0.0f, 360.0f, 5.0f},   {-725.0f, 0.0f, 360.0f, 355.0f},
        {500.0f, 360.0f, 0.0f, 500.0f},  // lo > hi: unchanged
        {inf, 0.0f, 360.0f, 0.0f},      {-inf, 0.0f, 360.0f, 0.0f},
        {-1e-9f, 0.0f, 1.0f, 1.0f},  // rounds up to hi
        {360.0f, 0.0f, 360.0f, 0.0f},   {0.0f, 0.0f, 360.0f, 0.0f},
        {-0.25f, 0.0f, 1.0f, 0.75f},    {4.0f / 3.0f, 0.0f, 1.0f, 1.0f / 3.0f},
        {7.0f, 2.0f, 2.0f, 2.0f},  // lo = hi: lo
        {1e30f, 0.0f, 360.0f, static_cast<float>(std::fmod(static_cast<double>(1e30f), 360.0))},
        {-1e30f, 0.0f, 1.0f, 0.0f},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(wrapRange(c.value, c.lo, c.hi), c.expected, 1e-6f * std::abs(c.expected))
            << c.value << " in [" << c.lo << ", " << c.hi << ")";
    }
    EXPECT_TRUE(std::isnan(wrapRange(std::numeric_limits<float>::quiet_NaN(), 0.0f, 360.0f)));
}

struct HslCase {
    Rgb rgb;
    Hsl hsl;
};

TEST(RgbToHsl, KnownColours) {
    const HslCase cases[] = {
        {{1.0f, 0.5f, 0.25f}, {20.0f, 1.0f, 0.625f}},
        {{0.2f, 0.4f, 0.6f}, {210.0f, 0.5f, 0.4f}},
        {{0.5f, 0.5f, 0.5f}, {0.0f, 0.0f, 0.5f}},
        {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},
        {{1.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 1.0f}},
        {{1.0f, 0.5f, 0.50000006f}, {360.0f, 1.0f, 0.75000003f}},
    };
    for (const auto& c : cases) {
        const Hsl hsl = rgbToHsl(c.rgb.r, c.rgb.g, c.rgb.b);
        EXPECT_NEAR(hsl.hue, c.hsl.hue, 1e-4f) << c.rgb.r << " " << c.rgb.g << " " << c.rgb.b;
        EXPECT_NEAR(hsl.saturation, c.hsl.saturation, 1e-6f);
        EXPECT_NEAR(hsl.lightness, c.hsl.lightness, 1e-6f);
    }
    // The tiny negative sextant value wraps and rounds to exactly 360.
    EXPECT_EQ(rgbToHsl(1.0f, 0.5f, 0.50000006f).hue, 360.0f);
}

TEST(HslToRgb, HueThreeSixtyEqualsHueZero) {
    for (float s : {0.25f, 1.0f, 1.5f}) {
        for (float l : {0.1f, 0.5f, 0.75f}) {
            const Rgb at360 = hslToRgb({360.0f, s, l});
            const Rgb at0 = hslToRgb({0.0f, s, l});
            EXPECT_EQ(at360.r, at0.r);
            EXPECT_EQ(at360.g, at0.g);
            EXPECT_EQ(at360.b, at0.b);
        }
    }
}

TEST(HslToRgb, OversaturationGoesNegativeThenZero) {
    // Saturation 2 at lightness 0.625: q = 1.375, p = -0.125.
    const Rgb rgb = hslToRgb({20.0f, 2.0f, 0.625f});
    EXPECT_NEAR(rgb.r, 1.375f, kRounding);
    EXPECT_EQ(rgb.b, 0.0f);
}

struct AdjustCase {
    const char* what;
    Rgb input;
    ColourAdjust adjust;
    Rgb expected;
    float tolerance;
};

TEST(AdjustColour, Examples) {
    const AdjustCase cases[] = {
        {"round trip exact", {1.0f, 0.5f, 0.25f}, kNeutral, {1.0f, 0.5f, 0.25f}, 0.0f},
        {"round trip", {0.2f, 0.4f, 0.6f}, kNeutral, {0.2f, 0.4f, 0.6f}, kRounding},
        {"pure red", {1.0f, 0.0f, 0.0f}, kNeutral, {1.0f, 0.0f, 2.4e-7f}, 1e-8f},
        {"cyan", {0.0f, 1.0f, 1.0f}, kNeutral, {0.0f, 1.0f, 1.0f}, kRounding},
        {"magenta", {1.0f, 0.0f, 1.0f}, kNeutral, {1.0f, 0.0f, 1.0f}, kRounding},
        {"hue +120", {1.0f, 0.0f, 0.0f}, {120.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 0.0f}, kRounding},
        {"hue -120", {1.0f, 0.0f, 0.0f}, {-120.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, kRounding},
        {"hue +60", {1.0f, 0.0f, 0.0f}, {60.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 0.0f}, kRounding},
        {"hue 180", {1.0f, 0.5f, 0.25f}, {180.0f, 0.0f, 1.0f}, {0.25f, 0.75f, 1.0f}, kRounding},
        {"hue +180", {0.2f, 0.4f, 0.6f}, {180.0f, 0.0f, 1.0f}, {0.6f, 0.4f, 0.2f}, kRounding},
        {"hue -180", {0.2f, 0.4f, 0.6f}, {-180.0f, 0.0f, 1.0f}, {0.6f, 0.4f, 0.2f}, kRounding},
        {"sat -100", {1.0f, 0.5f, 0.25f}, {0.0f, -100.0f, 1.0f}, {0.625f, 0.625f, 0.625f},
         kRounding},
        {"sat -50", {1.0f, 0.5f, 0.25f}, {0.0f, -50.0f, 1.0f}, {0.8125f, 0.5625f, 0.4375f},
         kRounding},
        {"sat +100", {1.0f, 0.5f, 0.25f}, {0.0f, 100.0f, 1.0f}, {1.0f, 0.375f, 0.0f}, kRounding},
        {"grey sat +100", {0.5f, 0.5f, 0.5f}, {0.0f, 100.0f, 1.0f}, {1.0f, 0.0f, 2.4e-7f}, 1e-8f},
        {"grey sat +50", {0.5f, 0.5f, 0.5f}, {0.0f, 50.0f, 1.0f}, {0.75f, 0.25f, 0.25f},
         kRounding},
        {"grey sat -100", {0.5f, 0.5f, 0.5f}, {0.0f, -100.0f, 1.0f}, {0.5f, 0.5f, 0.5f}, 0.0f},
        {"black", {0.0f, 0.0f, 0.0f}, {90.0f, 100.0f, 1.0f}, {0.0f, 0.0f, 0.0f}, 0.0f},
        {"white", {1.0f, 1.0f, 1.0f}, {-45.0f, 100.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, kRounding},
        {"near-grey", {0.3f, 0.3f, 0.30001f}, kNeutral, {0.30001f, 0.3f, 0.3f}, kRounding},
        {"gamma 2", {1.0f, 0.5f, 0.25f}, {0.0f, 0.0f, 2.0f}, {1.0f, 0.25f, 0.0625f}, kRounding},
        {"gamma 0.5", {1.0f, 0.5f, 0.25f}, {0.0f, 0.0f, 0.5f}, {1.0f, 0.7071068f, 0.5f},
         kRounding},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Colour out = adjustColour({c.input.r, c.input.g, c.input.b, 1.0f}, c.adjust);
        expectColourNear(out, c.expected, c.tolerance);
        EXPECT_EQ(out.a, 1.0f);
    }
}

TEST(AdjustColour, KeepsAlphaAndClampsIt) {
    EXPECT_EQ(adjustColour({0.2f, 0.4f, 0.6f, 0.25f}, kNeutral).a, 0.25f);
    EXPECT_EQ(adjustColour({0.2f, 0.4f, 0.6f, 3.0f}, kNeutral).a, 1.0f);
}

TEST(AdjustColour, AllNanColourComesOutBlack) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Colour out = adjustColour({nan, nan, nan, 1.0f}, {30.0f, 20.0f, 2.0f});
    EXPECT_EQ(out.r, 0.0f);
    EXPECT_EQ(out.g, 0.0f);
    EXPECT_EQ(out.b, 0.0f);
    EXPECT_EQ(out.a, 1.0f);
}

// Gamma 1 is the default, and the adjustment then leaves out the power:
// the result must be the very bits that the library's power gives.
TEST(AdjustColour, GammaOneGivesTheLibraryPowerBits) {
    volatile float one = 1.0f;  // keeps the compiler from folding pow(x, 1) itself
    const ColourAdjust adjusts[] = {{0.0f, 0.0f, 1.0f}, {37.5f, -20.0f, 1.0f},
                                    {-120.0f, 35.0f, 1.0f}, {180.0f, 100.0f, 1.0f}};
    for (const ColourAdjust& adjust : adjusts) {
        for (int i = 0; i < 4096; ++i) {
            // An irregular walk through the unit cube.
            const float r = static_cast<float>((i * 37) % 101) / 100.0f;
            const float g = static_cast<float>((i * 53) % 97) / 96.0f;
            const float b = static_cast<float>((i * 71) % 89) / 88.0f;
            const Hsl hsl = rgbToHsl(r, g, b);
            const float hue = wrapRange(hsl.hue + adjust.hueShift, 0.0f, 360.0f);
            float saturation = adjust.saturationOffset / 100.0f + hsl.saturation;
            if (saturation < 0.0f) saturation = 0.0f;
            const Rgb rgb = hslToRgb({hue, saturation, hsl.lightness});
            Colour expected{std::pow(rgb.r, one), std::pow(rgb.g, one), std::pow(rgb.b, one), 1.0f};
            expected.clampMinMax();
            const Colour out = adjustColour({r, g, b, 1.0f}, adjust);
            ASSERT_EQ(std::bit_cast<std::uint32_t>(out.r), std::bit_cast<std::uint32_t>(expected.r));
            ASSERT_EQ(std::bit_cast<std::uint32_t>(out.g), std::bit_cast<std::uint32_t>(expected.g));
            ASSERT_EQ(std::bit_cast<std::uint32_t>(out.b), std::bit_cast<std::uint32_t>(expected.b));
        }
    }
}

struct EndToEndCase {
    const char* what;
    ColourAdjust adjust;
    Rgb expected;
};

TEST(FilmColour, EndToEndWithDefaultStack) {
    // The HSL of the raw colour as given to four decimals.
    const Hsl raw = rgbToHsl(0.0361f, 0.1469f, 0.1403f);
    EXPECT_NEAR(raw.hue, 176.43f, 0.005f);
    EXPECT_NEAR(raw.saturation, 0.605f, 0.0005f);
    EXPECT_NEAR(raw.lightness, 0.0915f, kFourDecimals);

    const EndToEndCase cases[] = {
        {"neutral", kNeutral, {0.0361f, 0.1469f, 0.1403f}},
        {"hue 180", {180.0f, 0.0f, 1.0f}, {0.1469f, 0.0361f, 0.0427f}},
        {"sat -100", {0.0f, -100.0f, 1.0f}, {0.0915f, 0.0915f, 0.0915f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Colour out = filmColour(1.0f, 0.0f, kDefaultStack, c.adjust);
        expectColourNear(out, c.expected, kFourDecimals);
        EXPECT_EQ(out.a, 1.0f);
    }
}

TEST(FilmColour, NeutralSettingsKeepTheReflectanceColour) {
    for (int i = 0; i <= 20; ++i) {
        for (float m : {0.0f, 0.5f, 1.0f}) {
            const float c1 = 0.05f * static_cast<float>(i);
            const Colour raw = reflectanceColour(c1, m, kDefaultStack);
            const Colour adjusted = filmColour(c1, m, kDefaultStack, kNeutral);
            expectColourNear(adjusted, {raw.r, raw.g, raw.b}, 1e-6f);
        }
    }
}

}  // namespace
}  // namespace nacrelle
