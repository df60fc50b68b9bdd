#include "app/render/swatch_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace nacrelle::tools {

namespace {

// The camera looks at the sphere at the origin; the sphere fills about 85 %
// of the shorter side of the image.
constexpr float kFill = 0.85f;
// Checker squares per shorter image side.
constexpr int kCheckerSquares = 8;

Vec3 normalised(Vec3 v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

}  // namespace

SwatchCamera::SwatchCamera(int width, int height) : width_(width), height_(height) {
    // Tangent of the half-angle under which the sphere's silhouette is seen.
    const float silhouette = 1.0f / std::sqrt(kCameraDistance * kCameraDistance - 1.0f);
    focal_ = kFill / silhouette;
}

SwatchSample SwatchCamera::sample(int x, int y) const {
    const float halfShort = 0.5f * static_cast<float>(std::min(width_, height_));
    const float px = (static_cast<float>(x) + 0.5f - 0.5f * static_cast<float>(width_)) / halfShort;
    const float py = (0.5f * static_cast<float>(height_) - static_cast<float>(y) - 0.5f) / halfShort;

    SwatchSample s{};
    s.view = normalised({px, py, -focal_});

    // Ray from (0, 0, d) along view against the unit sphere.
    const float b = kCameraDistance * s.view.z;
    const float c = kCameraDistance * kCameraDistance - 1.0f;
    const float discriminant = b * b - c;
    if (discriminant < 0.0f) {
        const int cx = static_cast<int>(std::floor((px + 4.0f) * kCheckerSquares * 0.5f));
        const int cy = static_cast<int>(std::floor((py + 4.0f) * kCheckerSquares * 0.5f));
        s.checkerLight = ((cx + cy) & 1) == 0;
        return s;
    }
    const float t = -b - std::sqrt(discriminant);
    s.hitsSphere = true;
    s.position = {t * s.view.x, t * s.view.y, kCameraDistance + t * s.view.z};
    s.normal = normalised(s.position);
    const float pi = std::numbers::pi_v<float>;
    s.uvw = {0.5f + std::atan2(s.normal.x, s.normal.z) / (2.0f * pi),
             0.5f + std::asin(std::clamp(s.normal.y, -1.0f, 1.0f)) / pi, 0.0f};
    return s;
}

}  // namespace nacrelle::tools
