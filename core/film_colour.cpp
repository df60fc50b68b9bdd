// The per-sample pipeline: reflectance, then colour adjustment.
#include "core/film_colour.h"

namespace nacrelle {

Colour filmColour(float cosine, float m, const FilmStack& stack, const ColourAdjust& adjust) {
    return adjustColour(reflectanceColour(cosine, m, stack), adjust);
}

Colour filmColour(float cosine, float m, const FilmStack& stack, const ColourAdjust& adjust,
                  const OpticsOptions& options, const SpectralTables* tables,
                  const MetalFilmTable* metalTable) {
    return adjustColour(opticalReflectanceColour(cosine, m, stack, options, tables, metalTable),
                        adjust);
}

}  // namespace nacrelle
