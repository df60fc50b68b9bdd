// The arithmetic of the standard texture output filter, apart from the
// object that stores and animates its settings.
//
// A colour goes through these steps, in this order:
//   1. RGB level and offset: rgb = rgb * level + offset
//   2. output amount:        rgb = rgb * amount
//   3. invert:               rgb = 1 - rgb
//   4. clamp:                r, g, b and alpha limited to [0, 1]
//   5. alpha from RGB:       alpha = (r + g + b) / 3
// Steps 1-3 leave alpha alone. A step whose setting is at its default is
// skipped outright rather than computed as x * 1 + 0, so that the default
// filter returns every colour bit for bit (x + 0 would turn -0 into +0, and
// NaN payloads are not promised to survive arithmetic).
#pragma once

#include "acolor.h"
#include "point3.h"

namespace standin {

struct OutputFilterSettings {
    float outputAmount = 1.0f;
    float rgbLevel = 1.0f;
    float rgbOffset = 0.0f;
    bool invert = false;
    bool clamp = false;
    bool alphaFromRgb = false;
};

/// True when every setting is at its default, so that a colour passes
/// through the five steps unchanged.
bool ChangesNothing(const OutputFilterSettings& s);
/// The colour after the five steps.
AColor FilterColour(const OutputFilterSettings& s, AColor c);
/// A mono value through steps 1-4, as one channel of a colour.
float FilterMono(const OutputFilterSettings& s, float v);
/// A bump perturbation: scaled by the output amount, and reversed when
/// inverted (the bump then points the other way). Level, offset, clamp and
/// alpha concern colours and leave it alone.
Point3 FilterPerturbation(const OutputFilterSettings& s, Point3 p);

}  // namespace standin
