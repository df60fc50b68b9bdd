// What the program's output is checked against: the core's colour function
// with the map's default settings, and the display encoding.
#pragma once

#include <algorithm>
#include <cmath>

#include "core/film_colour.h"

namespace nacrelle::tools::testing {

/// The map's defaults: indices 1, 1.5 and 1; thickness 250 nm at map value
/// 0 and 350 nm at 1.
inline FilmStack defaultStack() { return {1.0f, 1.5f, 1.0f, 250.0f, 350.0f}; }
/// No hue shift, no saturation offset, gamma 1.
inline ColourAdjust defaultAdjust() { return {0.0f, 0.0f, 1.0f}; }

/// The sRGB transfer function in double precision.
inline double srgbEncode(double linear) {
    const double v = std::clamp(linear, 0.0, 1.0);
    return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
}

/// The code a display-encoded channel of `linear` gets at `maxCode` (255 or 65535).
inline int srgbCode(float linear, int maxCode = 255) {
    return static_cast<int>(std::lround(srgbEncode(linear) * maxCode));
}

}  // namespace nacrelle::tools::testing
