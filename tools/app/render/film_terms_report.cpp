#include "app/render/film_terms_report.h"

#include <imtl.h>

#include <iparamb2.h>

#include <cstdio>
#include <optional>
#include <utility>

#include "core/film_colour.h"
#include "core/film_terms.h"
#include "core/physical_colour.h"
#include "app/session/json_values.h"
#include "app/session/map_optics.h"
#include "app/session/map_params.h"

namespace nacrelle::tools {
namespace {

struct Channel {
    const char* name;
    float wavelength;
};
constexpr Channel kChannels[] = {
    {"red", kWavelengthRed}, {"green", kWavelengthGreen}, {"blue", kWavelengthBlue}};

/// The terms in the order the reflectance computes them.
const std::pair<const char*, float FilmTerms::*> kTermFields[] = {
    {"halfWaveShift", &FilmTerms::halfWaveShift},
    {"c2", &FilmTerms::c2},
    {"c3", &FilmTerms::c3},
    {"q", &FilmTerms::q},
    {"delta", &FilmTerms::delta},
    {"k", &FilmTerms::k},
    {"rhoS", &FilmTerms::rhoS},
    {"rhoP", &FilmTerms::rhoP},
    {"tauS", &FilmTerms::tauS},
    {"tauP", &FilmTerms::tauP},
    {"transS", &FilmTerms::transS},
    {"transP", &FilmTerms::transP},
    {"reflectance", &FilmTerms::reflectance}};

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

// The spectrum alone sums the half-wave model's reflectance, as the option
// is defined; where that model shifts the phase (a film index between its
// neighbours) it is not the real reflectance, which a user may expect.
const char* halfWaveNote(const FilmStack& stack, const OpticsOptions& optics) {
    const bool between = (stack.nFilm > stack.nMedium) != (stack.nFilm > stack.nInternal) &&
                         stack.nFilm != stack.nMedium && stack.nFilm != stack.nInternal;
    if (!optics.spectral || optics.exactPhases() || !between) return nullptr;
    return "spectral alone sums the half-wave model's spectrum, and this film's index lies "
           "between its neighbours, where that model adds half a wave: only physical phases "
           "(physicalphase) give the real reflectance";
}

}  // namespace

nlohmann::json filmTermsReport(Texmap& map, ShadeContext& sc, TimeValue t) {
    IParamBlock2& block = *map.GetParamBlock(0);
    const MapParamIds ids = FindMapParamIds(block);
    const FilmStack stack{block.GetFloat(ids.nMedium, t), block.GetFloat(ids.nFilm, t),
                          block.GetFloat(ids.nInternal, t), block.GetFloat(ids.thicknessMin, t),
                          block.GetFloat(ids.thicknessMax, t)};
    Texmap* thicknessMap = map.GetSubTexmap(0);
    const float m = block.GetInt(ids.thicknessMapEnabled, t) != 0 && thicknessMap != nullptr
                        ? thicknessMap->EvalMono(sc)
                        : 0.0f;
    const float cosine = viewingCosine(sc.Normal(), sc.V());
    const float thickness = filmThickness(m, stack);

    const OpticsOptions optics = readOptics(block, t);
    nlohmann::json report{{"cosine", jsonNumber(cosine)},
                          {"mapValue", jsonNumber(m)},
                          {"thickness", jsonNumber(thickness)},
                          {"optics", opticsText(block, optics)}};
    if (const char* note = halfWaveNote(stack, optics)) report["note"] = note;
    if (!optics.threeWavelengthModel()) {
        // The steps below are the three-wavelength model's; the options
        // replace them with the exact sum or the spectrum.
        // The table the map makes at update, so that the report is its colour.
        std::optional<MetalFilmTable> metalTable;
        if (optics.spectralOnMetal()) {
            metalTable.emplace(optics.baseMetal, stack.nMedium, stack.nFilm);
        }
        const Colour colour = opticalReflectanceColour(cosine, m, stack, optics, &spectralTables(),
                                                       metalTable ? &*metalTable : nullptr);
        report["colour"] = {jsonNumber(colour.r), jsonNumber(colour.g), jsonNumber(colour.b)};
        if (!optics.spectral) {
            for (const Channel& channel : kChannels) {
                report[channel.name] = {
                    {"wavelength", jsonNumber(channel.wavelength)},
                    {"reflectance",
                     jsonNumber(static_cast<float>(opticalReflectance(
                         cosine, channel.wavelength, thickness, stack, optics)))}};
            }
        }
        return report;
    }
    for (const Channel& channel : kChannels) {
        const FilmTerms terms = filmTerms(cosine, channel.wavelength, thickness, stack.nMedium,
                                          stack.nFilm, stack.nInternal);
        nlohmann::json values{{"wavelength", jsonNumber(channel.wavelength)}};
        for (const auto& [name, field] : kTermFields) values[name] = jsonNumber(terms.*field);
        report[channel.name] = std::move(values);
    }
    return report;
}

std::string filmTermsText(const nlohmann::json& report) {
    char line[160];
    std::string text;
    for (const char* scalar : {"cosine", "mapValue", "thickness"}) {
        std::snprintf(line, sizeof line, "%-14s%s\n", scalar,
                      number(report[scalar].get<float>()).c_str());
        text += line;
    }
    std::snprintf(line, sizeof line, "%-14s%s\n", "optics",
                  report["optics"].get<std::string>().c_str());
    text += line;
    if (report.contains("note")) text += "note          " + report["note"].get<std::string>() + "\n";
    const auto row = [&](const char* name, const nlohmann::json& r, const nlohmann::json& g,
                         const nlohmann::json& b) {
        std::snprintf(line, sizeof line, "%-14s%-16s%-16s%s\n", name,
                      number(r.get<float>()).c_str(), number(g.get<float>()).c_str(),
                      number(b.get<float>()).c_str());
        text += line;
    };
    std::snprintf(line, sizeof line, "%-14s%-16s%-16s%s\n", "", "red", "green", "blue");
    text += line;
    if (report.contains("colour")) {
        // The options' colour, and with three wavelengths each channel's
        // exact reflectance.
        const nlohmann::json& colour = report["colour"];
        row("colour", colour[0], colour[1], colour[2]);
        if (!report.contains("red")) return text;
        for (const char* name : {"wavelength", "reflectance"}) {
            row(name, report["red"][name], report["green"][name], report["blue"][name]);
        }
        return text;
    }
    const auto channelRow = [&](const char* name) {
        row(name, report["red"][name], report["green"][name], report["blue"][name]);
    };
    channelRow("wavelength");
    for (const auto& [name, field] : kTermFields) channelRow(name);
    return text;
}

}  // namespace nacrelle::tools
