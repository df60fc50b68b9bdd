// The module as the benchmarks meet it: Nacrelle.dlt loaded from disk by the
// stand-in host, and maps of its class set to the workload's parameter sets.
#pragma once

#include <imtl.h>
#include <maps/shade_context.h>

#include <vector>

#include "bench/workload.h"

namespace nacrelle::bench {

struct ModuleMaps {
    std::vector<Texmap*> plain;  ///< one per parameter set, without a thickness map
    std::vector<Texmap*> noise;  ///< the same, with a noise thickness map switched on
    std::vector<Texmap*> spectral;       ///< `plain` with the spectral colour
    std::vector<Texmap*> exactPhases;    ///< `plain` with exact phases, three wavelengths
    std::vector<Texmap*> metalSpectral;  ///< `plain` on a titanium base, spectral
    Texmap* swatch = nullptr;    ///< a map at its defaults, for the swatch render
};

/// The loaded module's maps, updated for time 0. Made on first use; a module
/// that cannot be loaded, or maps that do not give the core's colours, end
/// the program with a message (a benchmark must not quietly measure nothing).
const ModuleMaps& moduleMaps();

/// Frees the maps and unloads the module; nothing when it was never loaded.
void closeModule();

/// Puts sample `s` into `sc`, as a renderer does before it evaluates a map;
/// the point is the normal's tip on the unit sphere.
inline void setSample(standin::RenderShadeContext& sc, const Sample& s) {
    const Point3 normal(s.normal.x, s.normal.y, s.normal.z);
    sc.SetSample(normal, Point3(s.view.x, s.view.y, s.view.z), normal,
                 Point3(s.uvw.x, s.uvw.y, s.uvw.z));
}

}  // namespace nacrelle::bench
