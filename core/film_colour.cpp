#include "core/film_colour.h"

namespace nacrelle {

Colour filmColour(float cosine, float m, const FilmStack& stack, const ColourAdjust& adjust) {
    return adjustColour(reflectanceColour(cosine, m, stack), adjust);
}

}  // namespace nacrelle
