// From a PNG file's samples to linear light, for both platforms' readers: the
// transfer function the file declares, and the luminance of colour samples.
#pragma once

#include <vector>

#include "png_chunks.h"

namespace standin::detail {

/// Linear value of every sample value from 0 to `maxSample`: an sRGB chunk
/// means the sRGB curve, a gAMA chunk a power law (gAMA 1.0: linear
/// already), neither the sRGB curve.
std::vector<float> LinearSampleTable(const PngFacts& facts, unsigned maxSample);

/// A pixel's linear grey value from its samples' entries in `table`: a grey
/// pixel's own value, a colour pixel's luminance (Rec. 709 / sRGB primaries).
inline float LinearGrey(const std::vector<float>& table, unsigned r, unsigned g, unsigned b) {
    if (r == g && g == b) return table[r];
    return static_cast<float>(0.2126 * table[r] + 0.7152 * table[g] + 0.0722 * table[b]);
}

}  // namespace standin::detail
