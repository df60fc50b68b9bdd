// Evaluating a map the way a renderer does, for the checks.
#pragma once

#include <string>

class Texmap;

namespace nacrelle::fuzzing {

/// Updates `map` at time `t` and evaluates its colour and mono value at a
/// fixed spread of samples (normals, views, points and texture coordinates,
/// a grazing view and a degenerate normal among them). Returns "" when every
/// result is free of NaN and, with `unitRange`, every colour component and
/// mono value lies in [0, 1]; otherwise the first bad result.
std::string ProbeEvaluation(Texmap& map, int t, bool unitRange);

}  // namespace nacrelle::fuzzing
