#include "bench/module_maps.h"

#include <iparamb2.h>
#include <sdk/class_directory.h>
#include <maps/grey_maps.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "plugin/param_block.h"
#include "app/session/host_session.h"

namespace nacrelle::bench {

namespace {

std::unique_ptr<tools::HostSession> session;
std::unique_ptr<ModuleMaps> maps;

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "nacrelle_bench: %s\n", message.c_str());
    std::exit(EXIT_FAILURE);
}

void setParameter(IParamBlock2& block, ParamID id, float value) {
    if (!block.SetValue(id, 0, value)) fail("the map refused parameter " + std::to_string(id));
}

Texmap& mapFor(const ParameterSet& p) {
    Texmap& map = session->createMap();
    IParamBlock2& block = *map.GetParamBlock(0);
    setParameter(block, pb_thickness_min, p.stack.thicknessMin);
    setParameter(block, pb_thickness_max, p.stack.thicknessMax);
    setParameter(block, pb_n_medium, p.stack.nMedium);
    setParameter(block, pb_n_film, p.stack.nFilm);
    setParameter(block, pb_n_internal, p.stack.nInternal);
    setParameter(block, pb_gamma, p.adjust.gamma);
    setParameter(block, pb_hue, p.adjust.hueShift);
    setParameter(block, pb_saturation, p.adjust.saturationOffset);
    return map;
}

bool sameBits(const AColor& a, const Colour& b) {
    return std::bit_cast<std::uint32_t>(a.r) == std::bit_cast<std::uint32_t>(b.r) &&
           std::bit_cast<std::uint32_t>(a.g) == std::bit_cast<std::uint32_t>(b.g) &&
           std::bit_cast<std::uint32_t>(a.b) == std::bit_cast<std::uint32_t>(b.b) &&
           std::bit_cast<std::uint32_t>(a.a) == std::bit_cast<std::uint32_t>(b.a);
}

// The ratio of EvalColor to filmColour only means something if both compute
// the same colours from the same inputs: check every sample once.
void checkAgainstCore(const Workload& w, const ModuleMaps& m, Texmap& noiseMap) {
    standin::RenderShadeContext sc;
    for (const Sample& s : w.samples) {
        const ParameterSet& p = w.sets[static_cast<std::size_t>(s.set)];
        setSample(sc, s);
        if (!sameBits(m.plain[static_cast<std::size_t>(s.set)]->EvalColor(sc),
                      filmColour(s.cosine, s.m, p.stack, p.adjust))) {
            fail(
                "the map's colour differs from the core's: the module measured is not "
                "the one built from this source");
        }
        const float mapValue = noiseMap.EvalMono(sc);
        if (!sameBits(m.noise[static_cast<std::size_t>(s.set)]->EvalColor(sc),
                      filmColour(s.cosine, mapValue, p.stack, p.adjust))) {
            fail("the map's colour with a noise thickness map differs from the core's");
        }
    }
}

// A map of set `p` with the physical-optics options.
Texmap& opticsMapFor(const ParameterSet& p, bool spectral, bool exactPhases, int baseMetal) {
    Texmap& map = mapFor(p);
    IParamBlock2& block = *map.GetParamBlock(0);
    if (!block.SetValue(pb_spectral, 0, spectral ? TRUE : FALSE) ||
        !block.SetValue(pb_physical_phase, 0, exactPhases ? TRUE : FALSE) ||
        !block.SetValue(pb_base_metal, 0, baseMetal)) {
        fail("the map refused its optics options");
    }
    return map;
}

std::unique_ptr<ModuleMaps> makeMaps() {
    try {
        session = std::make_unique<tools::HostSession>(NACRELLE_MODULE_PATH);
    } catch (const std::exception& error) {
        fail(error.what());
    }
    const Workload& w = workload();
    auto result = std::make_unique<ModuleMaps>();

    auto* noiseMap = static_cast<Texmap*>(standin::CreateInstance(standin::GreyNoiseDesc()));
    if (noiseMap == nullptr) fail("the host could not create a noise map");
    for (const ParameterSet& p : w.sets) {
        result->plain.push_back(&mapFor(p));
        Texmap& withNoise = mapFor(p);
        withNoise.SetSubTexmap(0, noiseMap);
        if (!withNoise.GetParamBlock(0)->SetValue(pb_thickness_map_enabled, 0, TRUE)) {
            fail("the map refused to switch its thickness map on");
        }
        result->noise.push_back(&withNoise);
        result->spectral.push_back(&opticsMapFor(p, true, false, 0));
        result->exactPhases.push_back(&opticsMapFor(p, false, true, 0));
        result->metalSpectral.push_back(&opticsMapFor(p, true, false, 7 /* titanium */));
    }
    result->swatch = &session->createMap();

    // Rendering starts with an update; evaluation then reads the cache.
    Interval valid = FOREVER;
    for (Texmap* map : result->plain) map->Update(0, valid);
    for (Texmap* map : result->noise) map->Update(0, valid);
    for (const auto* set : {&result->spectral, &result->exactPhases, &result->metalSpectral}) {
        for (Texmap* map : *set) map->Update(0, valid);
    }
    checkAgainstCore(w, *result, *noiseMap);
    return result;
}

}  // namespace

const ModuleMaps& moduleMaps() {
    if (!maps) maps = makeMaps();
    return *maps;
}

void closeModule() {
    maps.reset();
    session.reset();
}

}  // namespace nacrelle::bench
