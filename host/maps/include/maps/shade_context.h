// The shading context that the stand-in's renderers fill for every sample.
#pragma once

#include "imtl.h"

namespace standin {

/// A concrete ShadeContext holding plain values: a renderer sets the sample's
/// geometry with SetSample (and the time and editor flag when they change),
/// then evaluates maps. Every member starts initialised: normal (0, 0, 1),
/// view (0, 0, -1), point, camera and texture coordinates at the origin, time
/// 0, not in the material editor, and the base's data members at their
/// defaults. Reading it allocates nothing; each thread shades with its own.
///
/// It carries one set of texture coordinates, map channel 1; channel 0 reads
/// the same coordinates, every other channel reads (0, 0, 0).
class RenderShadeContext final : public ShadeContext {
public:
    RenderShadeContext() = default;

    /// Starts a new sample: its unit shading normal (also the original and
    /// geometric normal), unit view vector from the camera towards the point,
    /// the point, its texture coordinates and their footprint. The output
    /// (colour, G-buffer ID ...) is reset and backFace cleared.
    void SetSample(const Point3& normal, const Point3& view, const Point3& point, const Point3& uvw,
                   const Point3& duvw = Point3());
    void SetTime(TimeValue t) { time_ = t; }
    void SetInMtlEditor(BOOL inEditor) { inMtlEditor_ = inEditor; }
    void SetCameraPosition(const Point3& camera) { camPos_ = camera; }
    /// The G-buffer ID that the sample's maps reported through SetGBufferID.
    int GBufferID() const { return out.gbufId; }

    BOOL InMtlEditor() override { return inMtlEditor_; }
    TimeValue CurTime() override { return time_; }
    Point3 Normal() override { return normal_; }
    void SetNormal(Point3 p) override { normal_ = p; }
    Point3 OrigNormal() override { return origNormal_; }
    Point3 GNormal() override { return origNormal_; }
    Point3 V() override { return view_; }
    void SetView(Point3 p) override { view_ = p; }
    Point3 CamPos() override { return camPos_; }
    Point3 P() override { return point_; }
    Point3 UVW(int channel = 0) override { return channel <= 1 && channel >= 0 ? uvw_ : Point3(); }
    Point3 DUVW(int channel = 0) override {
        return channel <= 1 && channel >= 0 ? duvw_ : Point3();
    }

private:
    TimeValue time_ = 0;
    BOOL inMtlEditor_ = FALSE;
    Point3 normal_{0.0f, 0.0f, 1.0f};
    Point3 origNormal_{0.0f, 0.0f, 1.0f};
    Point3 view_{0.0f, 0.0f, -1.0f};
    Point3 point_;
    Point3 camPos_;
    Point3 uvw_;
    Point3 duvw_;
};

}  // namespace standin
