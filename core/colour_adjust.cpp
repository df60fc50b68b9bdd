#include "core/colour_adjust.h"

#include <cmath>

namespace nacrelle {

namespace {

constexpr float kAchromaticThreshold = 1e-5f;  // below it a colour has no hue
constexpr float kSextantWidth = 60.0f;         // degrees per unit of sextant value
constexpr float kHueCircle = 360.0f;
constexpr float kPercent = 100.0f;
constexpr float kOneThird = 0.33333334f;  // red sits a third ahead of green, blue behind
constexpr float kOneSixth = 0.16666667f;
constexpr float kTwoThirds = 0.6666667f;
constexpr double kTwoThirdsWide = 0.6666666666666666;  // the falling ramp is formed in double
constexpr float kRampSlope = 6.0f;

// More steps than any value the map passes needs; beyond this the reduction
// is done in one step so that huge values cannot stall the loops.
constexpr double kStepwiseReach = 4.0;

float nonNegative(float x) { return x < 0.0f ? 0.0f : x; }

// x to the power gamma. At gamma 1, the default, x itself: the bits powf
// gives there too (for every float, and NaN stays NaN), without the call.
float gammaPower(float x, float gamma) { return gamma == 1.0f ? x : std::pow(x, gamma); }

}  // namespace

float wrapRange(float value, float lo, float hi) {
    double v = value;
    const double low = lo;
    const double high = hi;
    // Nearly every value is already in range (and comes back as it was, the
    // rounding to float being exact then); NaN, infinities and lo >= hi all
    // fail this test.
    if (v >= low && v < high) return value;
    if (low > high || std::isnan(v)) return value;
    if (std::isinf(v) || low == high) return lo;

    const double range = high - low;
    if (v < low - kStepwiseReach * range || v >= high + kStepwiseReach * range) {
        v = low + std::fmod(v - low, range);
    }
    // At most a couple of steps remain; the cap only guards ranges so small
    // next to lo that a step no longer moves the value.
    for (int step = 0; v < low && step < 8; ++step) v += range;
    for (int step = 0; v >= high && step < 8; ++step) v -= range;
    return static_cast<float>(v);
}

float hueToChannel(float p, float q, float t) {
    t = wrapRange(t, 0.0f, 1.0f);
    if (t < kOneSixth) return ((q - p) * kRampSlope) * t + p;
    if (t < 0.5f) return q;
    if (t < kTwoThirds) {
        const double d = q - p;
        return static_cast<float>((d * (kTwoThirdsWide - t)) * kRampSlope + p);
    }
    return p;
}

Hsl rgbToHsl(float r, float g, float b) {
    float max = r;
    if (g > max) max = g;
    if (b > max) max = b;
    float min = r;
    if (g < min) min = g;
    if (b < min) min = b;

    const float lightness = (max + min) * 0.5f;

    float saturation = 0.0f;
    if (max != min && lightness != 0.0f) {
        saturation = lightness <= 0.5f ? (max - min) / (max + min)
                                       : (max - min) / ((2.0f - max) - min);
    }

    float hue = 0.0f;
    const float chroma = max - min;
    if (!(chroma < kAchromaticThreshold)) {
        // Sextant value: ties go to red, then green.
        float k;
        if (r == max) {
            k = (g - b) / chroma;
        } else if (g == max) {
            k = ((b - r) / chroma) + 2.0f;
        } else {
            k = ((r - g) / chroma) + 4.0f;
        }
        hue = wrapRange(k * kSextantWidth, 0.0f, kHueCircle);
    }
    return {hue, saturation, lightness};
}

Rgb hslToRgb(const Hsl& hsl) {
    const float s = hsl.saturation;
    const float l = hsl.lightness;
    const float q = l <= 0.5f ? (s + 1.0f) * l : (s + l) - s * l;
    const float p = (l + l) - q;
    const float h = hsl.hue / kHueCircle;

    // A saturation above 1 pushes p below 0; nothing below 0 is a colour.
    return {nonNegative(hueToChannel(p, q, h + kOneThird)), nonNegative(hueToChannel(p, q, h)),
            nonNegative(hueToChannel(p, q, h - kOneThird))};
}

Colour adjustColour(const Colour& colour, const ColourAdjust& adjust) {
    const Hsl hsl = rgbToHsl(colour.r, colour.g, colour.b);

    const float hue = wrapRange(hsl.hue + adjust.hueShift, 0.0f, kHueCircle);
    float saturation = (adjust.saturationOffset / kPercent) + hsl.saturation;
    if (saturation < 0.0f) saturation = 0.0f;

    const Rgb rgb = hslToRgb({hue, saturation, hsl.lightness});
    Colour adjusted{gammaPower(rgb.r, adjust.gamma), gammaPower(rgb.g, adjust.gamma),
                    gammaPower(rgb.b, adjust.gamma), colour.a};
    adjusted.clampMinMax();
    return adjusted;
}

}  // namespace nacrelle
