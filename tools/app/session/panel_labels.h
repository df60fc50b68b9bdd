// The labels a user reads beside each parameter in the map's panel ("Min:"
// for thicknessmax), found from the panel itself.
#pragma once

#include <map>
#include <string>

class Texmap;

namespace nacrelle::tools {

/// Script name -> the text of the label left of the parameter's control on
/// the same row of the map's own panel (or a check box's own text).
/// Parameters without one are left out.
std::map<std::string, std::string> panelLabels(Texmap& map);

}  // namespace nacrelle::tools
