// The intermediate quantities of one film reflectance, for tests and
// diagnostics (`nacrelle eval --terms` shows them). The renderer only needs
// filmReflectance.
#pragma once

namespace nacrelle {

/// Every step of filmReflectance. Fields after an early return (total
/// reflection, grazing view) stay 0 and `reflectance` is 1.
struct FilmTerms {
    float halfWaveShift;   ///< phi12 + phi23: 0, pi or 2 pi
    float c2, c3;          ///< cosines in the film and in the inner medium
    float q;               ///< transmitted flux ratio (n3 c3) / (n1 c1)
    float delta;           ///< round-trip phase, radians
    float k;               ///< cos(delta)
    float rhoS, rhoP;      ///< products of the two inner reflections
    float tauS, tauP;      ///< products of the two transmissions
    float transS, transP;  ///< Airy transmissions
    float reflectance;     ///< 1 - mean transmission
};

/// filmReflectance with all its intermediate values.
FilmTerms filmTerms(float c1, float lambda, float d, float n1, float n2, float n3);

}  // namespace nacrelle
