// Images the program renders: linear RGBA floats, encoded to PNG for display.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nacrelle::tools {

struct Rgba {
    float r, g, b, a;
};

/// The colours of the program's figures (chart, gallery): light ink on a
/// near-black ground, so that the map's colours stand out.
inline constexpr Rgba kFigureBackground{0.02f, 0.02f, 0.025f, 1.0f};
inline constexpr Rgba kFigureInk{0.8f, 0.8f, 0.8f, 1.0f};

/// A width x height grid of linear RGBA pixels, rows top to bottom.
class Image {
public:
    /// Asks for pixels left unset, for a renderer that writes every one.
    struct Unfilled {};

    Image(int width, int height, Rgba fill = {0.0f, 0.0f, 0.0f, 1.0f});
    /// The memory of a row is then first touched by the thread that renders
    /// it, instead of by one thread filling the whole image beforehand.
    Image(int width, int height, Unfilled);

    int width() const { return width_; }
    int height() const { return height_; }
    Rgba& at(int x, int y) { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
    const Rgba& at(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
    /// Sets a pixel; coordinates outside the image are ignored.
    void set(int x, int y, Rgba colour);

private:
    int width_;
    int height_;
    // Default-initialises new elements (leaves them unset) where the
    // standard allocator would value-initialise them; copies are constructed
    // as usual.
    template <class T>
    struct UnsetAllocator : std::allocator<T> {
        template <class U>
        struct rebind {
            using other = UnsetAllocator<U>;
        };
        UnsetAllocator() = default;
        template <class U>
        UnsetAllocator(const UnsetAllocator<U>&) noexcept {}
        template <class U>
        void construct(U* p) {
            ::new (static_cast<void*>(p)) U;
        }
    };

    std::vector<Rgba, UnsetAllocator<Rgba>> pixels_;
};

/// How pixels are encoded into the file.
struct PngEncoding {
    int bitDepth = 8;   ///< 8 or 16 bits per channel
    bool srgb = true;   ///< encode for display; false writes the linear values
    int threads = 0;    ///< threads that convert the pixels (0: one per core)
};

/// The pixels of `image` as a PNG holds them: RGBA rows top to bottom, 8 or
/// 16 bits per channel (most significant byte first). Values are clamped to
/// [0, 1].
std::vector<std::uint8_t> encodePixels(const Image& image, const PngEncoding& encoding);

/// The PNG file bytes of `image` (RGBA), holding encodePixels' pixels.
std::vector<std::uint8_t> encodePng(const Image& image, const PngEncoding& encoding);

/// The sRGB transfer function: display value of a linear value in [0, 1].
float linearToSrgb(float linear);

}  // namespace nacrelle::tools
