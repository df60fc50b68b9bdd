// Greyscale images and their bilinear lookup with wrapping.
#include "png/grey_image.h"

#include <cmath>

namespace standin {
namespace {

// Index of the pixel at whole coordinate `c` on an axis of `n` pixels that
// repeats forever.
int wrapIndex(double c, int n) {
    double m = std::fmod(c, static_cast<double>(n));
    if (m < 0.0) m += n;
    const int i = static_cast<int>(m);
    return i >= n ? 0 : i;  // m + n can round up to n
}

}  // namespace

float SampleBilinearTiled(const GreyImage& image, float u, float v) {
    if (image.Empty()) return 0.0f;
    // Continuous pixel coordinates with pixel centres on whole numbers; v runs
    // upwards while rows run downwards.
    const double x = static_cast<double>(u) * image.width - 0.5;
    const double y = (1.0 - static_cast<double>(v)) * image.height - 0.5;
    if (!std::isfinite(x) || !std::isfinite(y)) return 0.0f;

    const double x0 = std::floor(x);
    const double y0 = std::floor(y);
    const double tx = x - x0;
    const double ty = y - y0;
    const int ix0 = wrapIndex(x0, image.width);
    const int iy0 = wrapIndex(y0, image.height);
    const int ix1 = ix0 + 1 == image.width ? 0 : ix0 + 1;
    const int iy1 = iy0 + 1 == image.height ? 0 : iy0 + 1;

    // (1 - t) a + t b returns a exactly at t = 0.
    const double top = (1.0 - tx) * image.At(ix0, iy0) + tx * image.At(ix1, iy0);
    const double bottom = (1.0 - tx) * image.At(ix0, iy1) + tx * image.At(ix1, iy1);
    return static_cast<float>((1.0 - ty) * top + ty * bottom);
}

}  // namespace standin
