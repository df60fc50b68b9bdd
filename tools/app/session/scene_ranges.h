// Values a scene file holds outside their parameter's range (a gamma of 0, a
// saturation key of -1000) are clamped on loading, as typed entries are, and
// each is noted on standard error.
#pragma once

#include <string>

class Texmap;

namespace nacrelle::tools {

/// Clamps every value and key of `map`, its thickness map and its output
/// filter into its parameter's range, writing one note per value changed
/// (naming `file`) to standard error. Returns how many it changed.
int clampToRanges(Texmap& map, const std::string& file);

}  // namespace nacrelle::tools
