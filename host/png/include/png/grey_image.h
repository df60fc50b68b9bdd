// A single-channel image of linear floating-point values, and its sampling by
// texture coordinates.
#pragma once

#include <vector>

namespace standin {

/// Linear grey values, row-major, the top row first (as image files store them).
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<float> pixels;  ///< width * height values

    bool Empty() const { return width <= 0 || height <= 0; }
    float At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

/// Bilinear sample at texture coordinates (u, v): u runs from the left edge
/// (0) to the right edge (1), v from the bottom edge (0) to the top edge (1);
/// pixel (x, y) has its centre at ((x + 0.5) / width, 1 - (y + 0.5) / height).
/// The image tiles: coordinates outside [0, 1) wrap around, and so do the
/// neighbours of an edge pixel. At a pixel centre the pixel's value comes back
/// exactly. An empty image and non-finite coordinates give 0.
float SampleBilinearTiled(const GreyImage& image, float u, float v);

}  // namespace standin
