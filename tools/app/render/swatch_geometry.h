// The sample scene of a swatch: a unit sphere seen by a perspective camera
// over a checker background. Pure geometry; the renderer shades the hits.
#pragma once

namespace nacrelle::tools {

/// How far the camera sits on +z from the unit sphere at the origin.
inline constexpr float kCameraDistance = 4.0f;

struct Vec3 {
    float x, y, z;
};

/// What the camera sees through one pixel.
struct SwatchSample {
    bool hitsSphere;
    Vec3 position;  ///< on the sphere, world space
    Vec3 normal;    ///< unit outward normal
    Vec3 view;      ///< unit vector from the camera towards the point
    Vec3 uvw;       ///< spherical texture coordinates, u around, v up, w 0
    bool checkerLight;  ///< background square colour, where the sphere is missed
};

class SwatchCamera {
public:
    SwatchCamera(int width, int height);

    /// The sample through the centre of pixel (x, y), y downwards.
    SwatchSample sample(int x, int y) const;

private:
    int width_;
    int height_;
    float focal_;  // image-plane distance for a unit half-height
};

}  // namespace nacrelle::tools
