// The fixed set of shaded samples that every benchmark (and the instruction
// counter) runs through, so that their figures can be compared as ratios.
// Built once, deterministically, before anything is timed.
#pragma once

#include <vector>

#include "core/film_colour.h"

namespace nacrelle::bench {

/// The settings of one map: a realistic coating with its colour adjustment.
struct ParameterSet {
    FilmStack stack;
    ColourAdjust adjust;
};

struct Vec3f {
    float x, y, z;
};

/// One shaded sample: its geometry as a renderer would hand it to the map, and
/// the core's inputs that the map derives from it.
struct Sample {
    int set;       ///< index into Workload::sets: the map that shades it
    float cosine;  ///< |N.V|, formed exactly as the map forms it
    float m;       ///< thickness-map value: 0, as for a map without one
    Vec3f normal;  ///< unit shading normal; the point on the unit sphere too
    Vec3f view;    ///< unit vector from the camera towards the point
    Vec3f uvw;     ///< spherical texture coordinates
};

/// The library calls that one sample cannot avoid, with the arguments the
/// model passes them: the phase of each channel (three cosf), the two
/// squared cosines of each channel (six sqrtf), and each adjusted channel
/// with the gamma (three powf).
struct FloorArguments {
    float phase[3];
    float squaredCosine[6];
    float channel[3];
    float gamma;
};

struct Workload {
    std::vector<ParameterSet> sets;
    std::vector<Sample> samples;
    std::vector<FloorArguments> floor;  ///< one per sample
};

/// The one workload, built on first use.
const Workload& workload();

}  // namespace nacrelle::bench
