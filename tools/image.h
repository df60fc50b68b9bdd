// Images the program renders: linear RGBA floats, encoded to PNG for display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nacrelle::tools {

struct Rgba {
    float r, g, b, a;
};

/// A width x height grid of linear RGBA pixels, rows top to bottom.
class Image {
public:
    Image(int width, int height, Rgba fill = {0.0f, 0.0f, 0.0f, 1.0f});

    int width() const { return width_; }
    int height() const { return height_; }
    Rgba& at(int x, int y) { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
    const Rgba& at(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
    /// Sets a pixel; coordinates outside the image are ignored.
    void set(int x, int y, Rgba colour);

private:
    int width_;
    int height_;
    std::vector<Rgba> pixels_;
};

/// How pixels are encoded into the file.
struct PngEncoding {
    int bitDepth = 8;   ///< 8 or 16 bits per channel
    bool srgb = true;   ///< encode for display; false writes the linear values
};

/// The PNG file bytes of `image` (RGBA). Values are clamped to [0, 1].
std::vector<std::uint8_t> encodePng(const Image& image, const PngEncoding& encoding);

/// The sRGB transfer function: display value of a linear value in [0, 1].
float linearToSrgb(float linear);

}  // namespace nacrelle::tools
