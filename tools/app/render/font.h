// A small 5 x 7 pixel font for the labels of rendered charts. Capitals,
// digits and common punctuation; lower case is drawn as capitals.
#pragma once

#include <string_view>

#include "app/render/image.h"

namespace nacrelle::tools {

/// Width of one character cell in font pixels, including the gap.
inline constexpr int kGlyphAdvance = 6;
/// Height of one line in font pixels, including the gap.
inline constexpr int kGlyphLineHeight = 9;

/// Draws `text` with its top-left corner at (x, y), each font pixel a
/// `scale` x `scale` square. Characters without a glyph are drawn as '?'.
void drawText(Image& image, int x, int y, std::string_view text, Rgba colour, int scale = 1);

/// Width in image pixels of `text` drawn at `scale`.
int textWidth(std::string_view text, int scale = 1);

}  // namespace nacrelle::tools
