// The pictures an editor shows of a map while it is edited: the swatch, a
// draft swatch for a drag in progress, the viewport's texture and the chart.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "app/render/image.h"

class Texmap;

namespace nacrelle::tools {

class HostSession;

/// The map on its sphere and on the chart, and as the viewport shows it.
/// DraftSwatch: the swatch at half its size, which a drag shows while it
/// moves (a quarter of the work).
enum class Picture { Swatch, DraftSwatch, Viewport, Chart };

struct PictureSizes {
    int swatch = 256;
    int viewport = 128;  ///< the side of the viewport's texture
    int chartWidth = 440;
    int chartHeight = 300;
    int threads = 0;  ///< render threads, 0: one per core
    int chartScale = 1;  ///< the chart's text and lines, this many times their size
};

/// The draft swatch's side: half the swatch's.
int draftSwatchSize(int swatchSize);

/// `picture` of `map` at the time the panels edit, stopping early (and
/// leaving the image incomplete) once `stop` says so. The chart draws a
/// copy of the map, whose thickness range and thickness map it sets.
Image renderPicture(Texmap& map, Picture picture, const PictureSizes& sizes,
                    const std::function<bool()>& stop);

/// A map at its defaults drawn as a swatch `size` pixels a side, as a PNG
/// file: an icon. The map is made in `session`'s scene, which is left empty.
std::vector<std::uint8_t> defaultSwatchPng(HostSession& session, int size, int threads);

/// The PNG file of 8-bit sRGB RGBA `pixels` (encodePixels' rows).
std::vector<std::uint8_t> pixelsToPng(int width, int height, const std::vector<std::uint8_t>& pixels);

}  // namespace nacrelle::tools
