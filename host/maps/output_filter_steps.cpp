// The standard output filter's colour steps, apart from its class.
#include "maps/output_filter.h"

namespace standin {
namespace {

// Steps 1-3 on one channel.
float filterChannel(const OutputFilterSettings& s, float x) {
    if (s.rgbLevel != 1.0f) x *= s.rgbLevel;
    if (s.rgbOffset != 0.0f) x += s.rgbOffset;
    if (s.outputAmount != 1.0f) x *= s.outputAmount;
    if (s.invert) x = 1.0f - x;
    return x;
}

float clampUnit(float x) { return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x); }

}  // namespace

bool ChangesNothing(const OutputFilterSettings& s) {
    return s.rgbLevel == 1.0f && s.rgbOffset == 0.0f && s.outputAmount == 1.0f && !s.invert &&
           !s.clamp && !s.alphaFromRgb;
}

AColor FilterColour(const OutputFilterSettings& s, AColor c) {
    c.r = filterChannel(s, c.r);
    c.g = filterChannel(s, c.g);
    c.b = filterChannel(s, c.b);
    if (s.clamp) c.ClampMinMax();
    if (s.alphaFromRgb) c.a = (c.r + c.g + c.b) / 3.0f;
    return c;
}

float FilterMono(const OutputFilterSettings& s, float v) {
    v = filterChannel(s, v);
    return s.clamp ? clampUnit(v) : v;
}

Point3 FilterPerturbation(const OutputFilterSettings& s, Point3 p) {
    if (s.outputAmount != 1.0f) p *= s.outputAmount;
    if (s.invert) p = -p;
    return p;
}

}  // namespace standin
