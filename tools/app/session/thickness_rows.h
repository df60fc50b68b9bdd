// The script names of the map's two thickness rows, for the code that sets
// them by name (presets, the chart's and the terms report's parameter IDs).
// They cross over, as the stored scenes fix: the "Min:" row (the thickness at
// map value 0, and the only one when no map drives it) is "thicknessmax", and
// the "Max:" row (at map value 1) is "thicknessmin".
#pragma once

#include <string_view>

namespace nacrelle::tools {

inline constexpr std::string_view kMinRowScriptName = "thicknessmax";
inline constexpr std::string_view kMaxRowScriptName = "thicknessmin";

}  // namespace nacrelle::tools
