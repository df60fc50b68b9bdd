// Hue, saturation and gamma adjustment of the film colour.
#pragma once

#include "core/thin_film.h"

namespace nacrelle {

/// The panel's colour adjustment, in the units the user types.
struct ColourAdjust {
    float hueShift;          ///< degrees added to the hue, -180 to 180
    float saturationOffset;  ///< percent added to the saturation, -100 to 100
    float gamma;             ///< exponent applied to r, g and b, 0.05 to 20
};

/// Hue in degrees [0, 360], saturation (0 or more) and lightness [0, 1].
struct Hsl {
    float hue;
    float saturation;
    float lightness;
};

/// Three colour channels without alpha.
struct Rgb {
    float r, g, b;
};

/// `value` brought into [lo, hi) by whole multiples of hi - lo, reduced in
/// double and rounded to float once (so a value just below lo may round to
/// hi). Returns value for lo > hi or NaN, lo for an infinite value or lo = hi.
float wrapRange(float value, float lo, float hi);

/// Level of one channel at position t (any real; wrapped to [0, 1)) of the
/// HSL hue ramp running between the low level p and the high level q.
float hueToChannel(float p, float q, float t);

/// HSL of a colour whose channels lie in [0, 1]. Near-greys (max - min below
/// 1e-5) take hue 0.
Hsl rgbToHsl(float r, float g, float b);

/// Channels of an HSL colour; each is 0 or more and may exceed 1 when the
/// saturation exceeds 1.
Rgb hslToRgb(const Hsl& hsl);

/// Turns the hue, offsets the saturation, raises r, g and b to gamma and
/// clamps all four components to [0, 1]; alpha is kept.
Colour adjustColour(const Colour& colour, const ColourAdjust& adjust);

}  // namespace nacrelle
