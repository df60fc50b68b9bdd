// The map's whole per-sample colour, from shading normal and view vector to
// adjusted RGBA: the one pipeline the plug-in, the tools and the tests share.
#pragma once

#include <cmath>

#include "core/colour_adjust.h"
#include "core/physical_colour.h"
#include "core/thin_film.h"

namespace nacrelle {

/// The viewing cosine |N.V| of a shading normal and a view vector, both of any
/// type with float members x, y and z. Summed as (x + y) + z: every caller
/// gets these same bits.
template <typename Vector>
float viewingCosine(const Vector& n, const Vector& v) {
    return std::fabs((n.x * v.x + n.y * v.y) + n.z * v.z);
}

/// The map's colour for one sample: reflectanceColour, then adjustColour.
/// `cosine` is |N.V|, `m` the thickness-map value (0 without a map).
Colour filmColour(float cosine, float m, const FilmStack& stack, const ColourAdjust& adjust);

/// The same with the physical-optics `options`: opticalReflectanceColour,
/// then adjustColour. `tables` may be null unless the options are spectral;
/// `metalTable` as opticalReflectanceColour takes it.
Colour filmColour(float cosine, float m, const FilmStack& stack, const ColourAdjust& adjust,
                  const OpticsOptions& options, const SpectralTables* tables,
                  const MetalFilmTable* metalTable = nullptr);

}  // namespace nacrelle
