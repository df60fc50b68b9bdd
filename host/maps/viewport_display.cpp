// Texmap::GetVPDisplayDIB's default: the map evaluated over its UV space into
// a DIB. It lives with the renderer's shading context, which it shades with.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imtl.h"
#include "maps/shade_context.h"
#include "sdk/render_evaluation.h"

namespace {

// Larger pictures than any viewport texture only cost memory and time.
constexpr int kMaxSide = 4096;

/// A colour value clamped to [0, 1] as a byte; NaN as 0.
std::uint8_t toByte(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return 255;
    return static_cast<std::uint8_t>(std::lround(value * 255.0f));
}

}  // namespace

BITMAPINFO* Texmap::GetVPDisplayDIB(TimeValue t, TexHandleMaker& thmaker, Interval& valid,
                                    BOOL mono, int forceW, int forceH) {
    const int width = forceW > 0 ? forceW : thmaker.Size();
    const int height = forceH > 0 ? forceH : thmaker.Size();
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return nullptr;

    Update(t, valid);

    const std::size_t pixelBytes = static_cast<std::size_t>(width) * height * 4;
    auto* dib = static_cast<BITMAPINFO*>(std::malloc(sizeof(BITMAPINFOHEADER) + pixelBytes));
    if (dib == nullptr) return nullptr;
    BITMAPINFOHEADER& header = dib->bmiHeader;
    std::memset(&header, 0, sizeof header);
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;  // bottom row first: v grows with the row
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(pixelBytes);
    auto* pixel = reinterpret_cast<std::uint8_t*>(dib) + sizeof(BITMAPINFOHEADER);

    // Seen head on: the view runs straight into the surface. The point is
    // the UV coordinate too, so that maps of P show a slice of themselves.
    const standin::RenderEvaluationScope evaluating;
    standin::RenderShadeContext sc;
    sc.SetTime(t);
    const Point3 normal(0.0f, 0.0f, 1.0f);
    const Point3 view(0.0f, 0.0f, -1.0f);
    const Point3 footprint(1.0f / static_cast<float>(width), 1.0f / static_cast<float>(height),
                           0.0f);
    for (int row = 0; row < height; ++row) {
        const float v = (static_cast<float>(row) + 0.5f) / static_cast<float>(height);
        for (int x = 0; x < width; ++x, pixel += 4) {
            const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(width);
            const Point3 uvw(u, v, 0.0f);
            sc.SetSample(normal, view, uvw, uvw, footprint);
            AColor c;
            if (mono) {
                const float m = EvalMono(sc);
                c = AColor(m, m, m, 1.0f);
            } else {
                c = EvalColor(sc);
            }
            pixel[0] = toByte(c.b);
            pixel[1] = toByte(c.g);
            pixel[2] = toByte(c.r);
            pixel[3] = toByte(c.a);
        }
    }
    return dib;
}
