// `nacrelle eval`: the colour of one sample through the loaded map.
#include <CLI/CLI.hpp>
#include <platform/command_line.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/command_registration.h"
#include "cli/preset_commands.h"
#include "common/errors.h"
#include "app/render/film_terms_report.h"
#include "app/render/sample.h"
#include "app/session/host_session.h"
#include "cli/map_options.h"

namespace nacrelle::tools {

namespace {

struct EvalCommand {
    MapOptions map;
    std::optional<double> cosine;
    std::string normal, view;   ///< X,Y,Z
    std::optional<double> mapValue;
    std::string scene;          ///< evaluate this scene's map instead of a new one
    bool terms = false;  ///< also print the film reflectance's intermediate terms
    bool json = false;
};

Vec3 toVec3(const Vector3& v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

/// The direction of the vector typed after `option`, of unit length as the
/// shading context expects. A vector typed with unit length is used as typed,
/// to the bit; any other is scaled.
Vec3 direction(const std::string& text, const char* option) {
    const Vector3 v = parseVector(text, option);
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!(length > 0.0) || !std::isfinite(length)) {
        throw BadValue(std::string(option) + " \"" + text + "\" has no direction");
    }
    if (std::abs(length - 1.0) <= 1e-6) return toVec3(v);
    return toVec3({v.x / length, v.y / length, v.z / length});
}

/// A normal and a view vector whose |N.V| is exactly `cosine`: the normal
/// along z and the view leaning away from it in x.
void vectorsForCosine(double cosine, Vec3& normal, Vec3& view) {
    if (!(cosine >= 0.0 && cosine <= 1.0)) {
        throw BadValue("--cosine " + formatNumber(cosine) + " must lie between 0 and 1");
    }
    const float c = static_cast<float>(cosine);
    normal = {0.0f, 0.0f, 1.0f};
    view = {std::sqrt(1.0f - c * c), 0.0f, -c};
}

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

}  // namespace

int runEval(const CommonOptions& common, const EvalCommand& command) {
    MapSettings settings = toSettings(command.map);
    Vec3 normal{}, view{};
    if (command.cosine) {
        if (!command.normal.empty() || !command.view.empty()) {
            throw BadValue("give --cosine or --normal and --view, not both");
        }
        vectorsForCosine(*command.cosine, normal, view);
    } else if (!command.normal.empty() && !command.view.empty()) {
        normal = direction(command.normal, "--normal");
        view = direction(command.view, "--view");
    } else {
        throw BadValue("say where to look: --cosine C, or --normal X,Y,Z with --view X,Y,Z");
    }
    if (command.mapValue) {
        if (!settings.thicknessMap.empty()) {
            throw BadValue("give --map-value or --thickness-map, not both");
        }
        if (!std::isfinite(*command.mapValue)) {
            throw BadValue("--map-value " + formatNumber(*command.mapValue) + " is not a number");
        }
        settings.constantMapValue = command.mapValue;
    }
    const TimeValue t = timeOf(command.map);

    HostSession session(findModule(standin::PathFromUtf8(common.plugin)));
    if (!command.scene.empty()) session.loadScene(standin::PathFromUtf8(command.scene));
    Texmap* found = command.scene.empty() ? &session.createMap() : session.findMap();
    if (found == nullptr) throw Failure("scene \"" + command.scene + "\" holds no Nacrelle map");
    Texmap& map = *found;
    applySettings(map, settings, t);
    const SampleResult sample = evaluateSample(map, normal, view, t, command.terms);

    if (command.json) {
        // JSON numbers with the nine digits that identify a float.
        std::printf("{\"r\": %s, \"g\": %s, \"b\": %s, \"a\": %s, \"mono\": %s",
                    number(sample.r).c_str(), number(sample.g).c_str(), number(sample.b).c_str(),
                    number(sample.a).c_str(), number(sample.mono).c_str());
        if (command.terms) std::printf(", \"terms\": %s", sample.terms.dump().c_str());
        std::printf("}\n");
    } else {
        std::printf("r %s\ng %s\nb %s\na %s\nmono %s\n", number(sample.r).c_str(),
                    number(sample.g).c_str(), number(sample.b).c_str(), number(sample.a).c_str(),
                    number(sample.mono).c_str());
        if (command.terms) std::printf("\n%s", filmTermsText(sample.terms).c_str());
    }
    return 0;
}

void addEvalCommand(CLI::App& app, const CommonOptions& common, int& result) {
    auto eval = std::make_shared<EvalCommand>();
    auto* evalApp = app.add_subcommand("eval", "Print the colour of one sample");
    addMapOptions(*evalApp, eval->map);
    addPresetOption(*evalApp, eval->map);
    evalApp->add_option("--cosine", eval->cosine, "Viewing cosine |N.V| between 0 and 1");
    evalApp->add_option("--normal", eval->normal, "Shading normal (scaled to unit length)")
        ->type_name("X,Y,Z");
    evalApp
        ->add_option("--view", eval->view,
                     "View vector, camera towards the point (scaled to unit length)")
        ->type_name("X,Y,Z");
    evalApp->add_option("--map-value", eval->mapValue,
                        "Plug in a constant thickness map of this value and switch it on");
    evalApp->add_option("--scene", eval->scene, "Evaluate the map of this scene file");
    evalApp->add_flag("--terms", eval->terms,
                      "Also print every intermediate term of the reflectance, per wavelength");
    evalApp->add_flag("--json", eval->json, "Print one JSON object");
    evalApp->callback([eval, &common, &result] { result = runEval(common, *eval); });
}

}  // namespace nacrelle::tools
