// The candidates of a colour match as a picture: the target's swatch, then
// each candidate's, best first, each captioned with what makes it.
#pragma once

#include <optional>
#include <string>

#include "app/match/colour_match.h"
#include "app/match/target_colour.h"
#include "app/render/image.h"

namespace nacrelle::tools {

/// Linear pixels: the swatches are the colours themselves, so that an
/// sRGB PNG of it holds the target's hex and each candidate's.
Image renderMatchStrip(const TargetColour& target, const MatchResult& result,
                       const std::optional<IndexRange>& vary, const ColourConversions& conversions);

/// `value` with `decimals` digits after the point, as the candidates'
/// captions and the command's list both show numbers.
std::string fixedDecimals(double value, int decimals);

}  // namespace nacrelle::tools
