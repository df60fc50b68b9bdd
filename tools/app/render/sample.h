// One sample of a map, evaluated as a render evaluates it: its colour, its
// mono value and, when asked, the optics behind the colour.
#pragma once

#include <nlohmann/json.hpp>

#include "app/render/swatch_geometry.h"
#include "app/session/host_types.h"

namespace nacrelle::tools {

struct SampleResult {
    float r, g, b, a;
    float mono;
    nlohmann::json terms;  ///< filmTermsReport's, when asked for; else null
};

/// The map updated for t, then one sample at the origin with shading normal
/// `normal` and view vector `view` (unit vectors, the view from the camera
/// towards the point). A Failure when the map's bitmap thickness map cannot
/// be read, as rendering would silently show the map without it.
SampleResult evaluateSample(Texmap& map, Vec3 normal, Vec3 view, TimeValue t,
                            bool withTerms);

}  // namespace nacrelle::tools
