#include "bench/workload.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "core/film_terms.h"

namespace nacrelle::bench {

namespace {

constexpr int kSampleCount = 4096;
constexpr int kSetCount = 24;
constexpr float kMaxThickness = 3000.0f;  // nm, the top of the parameter's range

// Coatings as users set them up: outer medium, film, body.
constexpr float kIndexSets[][3] = {
    {1.0f, 1.5f, 1.0f},    // soap film in air (the map's defaults)
    {1.0f, 1.33f, 1.0f},   // water film
    {1.0f, 1.38f, 1.52f},  // magnesium fluoride on crown glass
    {1.0f, 1.47f, 1.33f},  // oil on water
    {1.0f, 2.4f, 1.5f},    // titanium dioxide on glass
    {1.0f, 2.2f, 3.0f},    // oxide layer on a high-index body
};

constexpr ColourAdjust kAdjusts[] = {
    {0.0f, 0.0f, 1.0f},  // neutral
    {37.5f, -20.0f, 0.45f},
    {-120.0f, 35.0f, 2.2f},
    {180.0f, 100.0f, 1.8f},
};

// A fixed 64-bit linear congruential sequence: the same numbers with every
// compiler and standard library, unlike the <random> distributions.
class Sequence {
public:
    /// The next number in [0, 1).
    float next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<float>(state_ >> 40) * 0x1p-24f;
    }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

Vec3f normalised(Vec3f v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

Vec3f cross(Vec3f a, Vec3f b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

std::vector<ParameterSet> parameterSets() {
    std::vector<ParameterSet> sets;
    constexpr int indexSetCount = static_cast<int>(std::size(kIndexSets));
    constexpr int adjustCount = static_cast<int>(std::size(kAdjusts));
    for (int k = 0; k < kSetCount; ++k) {
        const float* n = kIndexSets[k % indexSetCount];
        // Thicknesses from 0 to 3000 nm across the sets; the maximum crosses
        // the minimum, so a thickness map sweeps the whole range too.
        const float thicknessMin = kMaxThickness * static_cast<float>(k) / (kSetCount - 1);
        const float thicknessMax = kMaxThickness - thicknessMin;
        sets.push_back({{n[0], n[1], n[2], thicknessMin, thicknessMax}, kAdjusts[k % adjustCount]});
    }
    return sets;
}

// Points all over the unit sphere, each seen at its own angle, from grazing
// to head-on, in a fixed pseudo-random order of coatings and angles.
std::vector<Sample> samples(int setCount) {
    std::vector<Sample> result;
    result.reserve(kSampleCount);
    Sequence random;
    const float pi = 3.14159265f;
    for (int i = 0; i < kSampleCount; ++i) {
        // Uniform on the sphere.
        const float z = 2.0f * random.next() - 1.0f;
        const float phi = 2.0f * pi * random.next();
        const float ring = std::sqrt(1.0f - z * z);
        const Vec3f normal = normalised({ring * std::cos(phi), ring * std::sin(phi), z});

        // A view towards the surface at the chosen angle, in a plane through
        // the normal.
        const float cosTheta = 0.002f + 0.998f * random.next();
        const float sinTheta = std::sqrt(1.0f - cosTheta * cosTheta);
        const Vec3f helper =
            std::fabs(normal.y) < 0.9f ? Vec3f{0.0f, 1.0f, 0.0f} : Vec3f{1.0f, 0.0f, 0.0f};
        const Vec3f tangent = normalised(cross(normal, helper));
        const Vec3f view = normalised({sinTheta * tangent.x - cosTheta * normal.x,
                                       sinTheta * tangent.y - cosTheta * normal.y,
                                       sinTheta * tangent.z - cosTheta * normal.z});

        Sample s{};
        s.set = static_cast<int>(random.next() * static_cast<float>(setCount));
        // The map's own cosine, so that the core sees the very same input.
        s.cosine = viewingCosine(normal, view);
        s.m = 0.0f;
        s.normal = normal;
        s.view = view;
        s.uvw = {0.5f + std::atan2(normal.x, normal.z) / (2.0f * pi),
                 0.5f + std::asin(std::clamp(normal.y, -1.0f, 1.0f)) / pi, 0.0f};
        result.push_back(s);
    }
    return result;
}

FloorArguments floorArguments(const Sample& s, const ParameterSet& p) {
    const float wavelengths[3] = {kWavelengthRed, kWavelengthGreen, kWavelengthBlue};
    // The thickness that reflectanceColour blends from the map value.
    const float d = filmThickness(s.m, p.stack);
    FloorArguments a{};
    for (int channel = 0; channel < 3; ++channel) {
        const FilmTerms t = filmTerms(s.cosine, wavelengths[channel], d, p.stack.nMedium,
                                      p.stack.nFilm, p.stack.nInternal);
        a.phase[channel] = t.delta;
        a.squaredCosine[2 * channel] = t.c2 * t.c2;
        a.squaredCosine[2 * channel + 1] = t.c3 * t.c3;
    }
    // The channels just before the power: gamma 1 leaves them as they are.
    const ColourAdjust beforeGamma{p.adjust.hueShift, p.adjust.saturationOffset, 1.0f};
    const Colour c = adjustColour(reflectanceColour(s.cosine, s.m, p.stack), beforeGamma);
    a.channel[0] = c.r;
    a.channel[1] = c.g;
    a.channel[2] = c.b;
    a.gamma = p.adjust.gamma;
    return a;
}

Workload build() {
    Workload w;
    w.sets = parameterSets();
    w.samples = samples(static_cast<int>(w.sets.size()));
    w.floor.reserve(w.samples.size());
    for (const Sample& s : w.samples) w.floor.push_back(floorArguments(s, w.sets[s.set]));
    return w;
}

}  // namespace

const Workload& workload() {
    static const Workload w = build();
    return w;
}

}  // namespace nacrelle::bench
