#include "app/match/match_strip.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/render/font.h"

namespace nacrelle::tools {
namespace {

constexpr int kSwatch = 96;
constexpr int kMargin = 12;
constexpr int kGap = 10;
/// Between the target and the candidates.
constexpr int kTargetGap = 28;
constexpr int kCaptionGap = 6;

struct Tile {
    Rgb colour;  ///< linear
    std::vector<std::string> caption;
};

}  // namespace

Image renderMatchStrip(const TargetColour& target, const MatchResult& result,
                       const std::optional<IndexRange>& vary, const ColourConversions& conversions) {
    std::vector<Tile> tiles{{target.linear, {"target", target.hex}}};
    int rank = 0;
    for (const MatchCandidate& c : result.candidates) {
        Tile tile{c.colour,
                  {std::to_string(++rank) + ". " + fixedDecimals(c.thickness, 1) + " nm",
                   hexOfEncoded(conversions.encodedOfLinear(c.colour)),
                   "order " + std::to_string(c.order),
                   "dE " + fixedDecimals(c.deltaE, 2) + " " + judgementOf(c.deltaE)}};
        if (vary) tile.caption.push_back(vary->name + " " + fixedDecimals(c.variedIndex, 3));
        tiles.push_back(tile);
    }
    int width = kSwatch;
    std::size_t lines = 0;
    for (const Tile& tile : tiles) {
        lines = std::max(lines, tile.caption.size());
        for (const std::string& line : tile.caption) width = std::max(width, textWidth(line) + 4);
    }
    const int count = static_cast<int>(tiles.size());
    const int imageWidth = 2 * kMargin + count * width + (count - 2) * kGap + kTargetGap;
    const int imageHeight =
        2 * kMargin + kSwatch + kCaptionGap + static_cast<int>(lines) * kGlyphLineHeight;
    Image image(imageWidth, std::max(imageHeight, 1), kFigureBackground);
    int x = kMargin;
    for (int i = 0; i < count; ++i) {
        const Tile& tile = tiles[static_cast<std::size_t>(i)];
        const Rgba fill{static_cast<float>(tile.colour.r), static_cast<float>(tile.colour.g),
                        static_cast<float>(tile.colour.b), 1.0f};
        for (int y = 0; y < kSwatch; ++y) {
            for (int dx = 0; dx < width; ++dx) image.set(x + dx, kMargin + y, fill);
        }
        int y = kMargin + kSwatch + kCaptionGap;
        for (const std::string& line : tile.caption) {
            drawText(image, x, y, line, kFigureInk);
            y += kGlyphLineHeight;
        }
        x += width + (i == 0 ? kTargetGap : kGap);
    }
    return image;
}

std::string fixedDecimals(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace nacrelle::tools
