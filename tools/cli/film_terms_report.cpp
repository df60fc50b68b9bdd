#include "tools/cli/film_terms_report.h"

#include <iparamb2.h>

#include <cstdio>
#include <utility>

#include "core/film_colour.h"
#include "core/film_terms.h"
#include "tools/common/json_values.h"
#include "tools/session/map_params.h"

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

    nlohmann::json report{{"cosine", jsonNumber(cosine)},
                          {"mapValue", jsonNumber(m)},
                          {"thickness", jsonNumber(thickness)}};
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
    std::snprintf(line, sizeof line, "%-14s%-16s%-16s%s\n", "", "red", "green", "blue");
    text += line;
    auto row = [&](const char* name) {
        std::snprintf(line, sizeof line, "%-14s%-16s%-16s%s\n", name,
                      number(report["red"][name].get<float>()).c_str(),
                      number(report["green"][name].get<float>()).c_str(),
                      number(report["blue"][name].get<float>()).c_str());
        text += line;
    };
    row("wavelength");
    for (const auto& [name, field] : kTermFields) row(name);
    return text;
}

}  // namespace nacrelle::tools
