// The colour a user asks for: an encoded sRGB hex colour, as colour pickers
// give it, or linear r,g,b, as the map's own colours are.
#pragma once

#include <string>
#include <string_view>

#include "app/match/colour_difference.h"

namespace nacrelle::tools {

struct TargetColour {
    std::string hex;  ///< encoded, "#rrggbb"
    Rgb linear;
    Lab lab;
};

/// "#6a3fa0", "6a3fa0" or "#63a" (encoded sRGB), or "0.14,0.05,0.35"
/// (linear, each in [0, 1]). A BadValue quoting the text otherwise.
TargetColour parseTargetColour(std::string_view text, const ColourConversions& conversions);

}  // namespace nacrelle::tools
