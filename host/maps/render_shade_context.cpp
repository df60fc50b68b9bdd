// The renderer's shading context: one sample's geometry and outputs.
#include "maps/shade_context.h"

namespace standin {

void RenderShadeContext::SetSample(const Point3& normal, const Point3& view, const Point3& point,
                                   const Point3& uvw, const Point3& duvw) {
    normal_ = normal;
    origNormal_ = normal;
    view_ = view;
    point_ = point;
    uvw_ = uvw;
    duvw_ = duvw;
    backFace = FALSE;
    ResetOutput();
}

}  // namespace standin
