// The optics behind one sample of `nacrelle eval --terms`: every intermediate
// of the film reflectance at the red, green and blue wavelengths.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "app/session/host_types.h"

class ShadeContext;

namespace nacrelle::tools {

/// The terms of the sample `sc` through `map`, as the map's core sees them:
/// its parameters at time `t`, its thickness-map value and |N.V|.
nlohmann::json filmTermsReport(Texmap& map, ShadeContext& sc, TimeValue t);

/// The report as aligned text, one term a line, one column a wavelength.
std::string filmTermsText(const nlohmann::json& report);

}  // namespace nacrelle::tools
