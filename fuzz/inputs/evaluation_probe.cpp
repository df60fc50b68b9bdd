#include "fuzz/inputs/evaluation_probe.h"

#include <imtl.h>
#include <maps/shade_context.h>

#include <array>
#include <cmath>
#include <sstream>

namespace nacrelle::fuzzing {
namespace {

struct Sample {
    Point3 normal, view, point, uvw;
};

// Head-on, oblique, grazing and back-facing views; one normal of zero length,
// as degenerate geometry delivers.
const std::array<Sample, 6> kSamples = {{
    {{0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, -1.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},
    {{0.0f, 0.6f, 0.8f}, {0.0f, 0.0f, -1.0f}, {0.3f, -1.2f, 2.5f}, {0.25f, 0.75f, 0.0f}},
    {{1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, -1.0f}, {10.0f, 20.0f, -30.0f}, {0.999f, 0.001f, 0.0f}},
    {{0.0f, 0.0f, -1.0f}, {0.0f, 0.0f, -1.0f}, {-0.5f, 0.5f, 0.5f}, {-3.5f, 7.25f, 0.0f}},
    {{0.577f, 0.577f, 0.577f}, {0.6f, 0.0f, -0.8f}, {1e4f, -1e4f, 0.0f}, {0.5f, 0.5f, 0.0f}},
    {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, -1.0f}, {0.0f, 0.0f, 0.0f}, {0.5f, 0.5f, 0.0f}},
}};

bool Bad(float value, bool unitRange) {
    return std::isnan(value) || (unitRange && !(value >= 0.0f && value <= 1.0f));
}

}  // namespace

std::string ProbeEvaluation(Texmap& map, int t, bool unitRange) {
    Interval valid = FOREVER;
    map.Update(t, valid);
    standin::RenderShadeContext sc;
    sc.SetTime(t);
    for (std::size_t i = 0; i < kSamples.size(); ++i) {
        const Sample& s = kSamples[i];
        sc.SetSample(s.normal, s.view, s.point, s.uvw);
        const AColor c = map.EvalColor(sc);
        const float mono = map.EvalMono(sc);
        if (Bad(c.r, unitRange) || Bad(c.g, unitRange) || Bad(c.b, unitRange) ||
            Bad(c.a, unitRange) || Bad(mono, unitRange)) {
            std::ostringstream out;
            out << "sample " << i << " at time " << t << " evaluates to colour (" << c.r << ", "
                << c.g << ", " << c.b << ", " << c.a << "), mono " << mono
                << (unitRange ? ": expected values in [0, 1]" : ": expected no NaN");
            return out.str();
        }
    }
    return {};
}

}  // namespace nacrelle::fuzzing
