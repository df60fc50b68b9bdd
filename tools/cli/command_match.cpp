// `nacrelle match COLOUR`: the film thicknesses (and, when asked, indices)
// whose colour is COLOUR, by CIEDE2000, with the map's settings.
#include <CLI/CLI.hpp>
#include <platform/command_line.h>

#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/command_registration.h"
#include "common/errors.h"

#if NACRELLE_COLOUR_MATCH
#include "app/document/scene_lock.h"
#include "app/match/colour_match.h"
#include "app/match/match_strip.h"
#include "app/match/target_colour.h"
#include "app/render/render.h"
#include "app/session/host_session.h"
#include "app/session/json_values.h"
#include "app/session/map_settings.h"
#include "app/session/value_parser.h"
#include "cli/map_options.h"
#include "cli/preset_commands.h"
#include "cli/write_policy.h"
#endif

namespace nacrelle::tools {

#if NACRELLE_COLOUR_MATCH
namespace {

struct MatchCommand {
    std::string colour;
    MapOptions map;
    std::string scene;   ///< search this scene's map
    double angle = 0.0;  ///< degrees
    std::string thickness = "0:3000";
    std::string vary;    ///< NAME=FROM:TO
    int count = 5;
    std::string apply;   ///< scene file that takes the best film
    bool force = false;
    std::string strip;   ///< PNG of the candidates
    bool json = false;
};

/// FROM:TO of `text`, for the option `what`.
std::pair<double, double> parseRange(const std::string& text, const std::string& what) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        throw BadValue(what + " \"" + text + "\" is not a range: expected FROM:TO");
    }
    return {parseNumber(text.substr(0, colon), what), parseNumber(text.substr(colon + 1), what)};
}

nlohmann::ordered_json colourJson(const Rgb& linear, const ColourConversions& conversions) {
    const Lab lab = conversions.labOfLinear(linear);
    return {{"hex", hexOfEncoded(conversions.encodedOfLinear(linear))},
            {"linear", {linear.r, linear.g, linear.b}},
            {"lab", {lab.L, lab.a, lab.b}}};
}

void printJson(const MatchCommand& command, const MatchRequest& request,
               const TargetColour& target, const MatchResult& result,
               const ColourConversions& conversions) {
    nlohmann::ordered_json out;
    out["target"] = {{"text", command.colour},
                     {"hex", target.hex},
                     {"linear", {target.linear.r, target.linear.g, target.linear.b}},
                     {"lab", {target.lab.L, target.lab.a, target.lab.b}}};
    out["angle"] = request.angleDegrees;
    out["thickness"] = {request.thicknessFrom, request.thicknessTo};
    out["vary"] = request.vary ? nlohmann::ordered_json{{"name", request.vary->name},
                                                        {"from", request.vary->from},
                                                        {"to", request.vary->to}}
                               : nlohmann::ordered_json();
    out["localBests"] = result.localBests;
    out["candidates"] = nlohmann::ordered_json::array();
    for (const MatchCandidate& c : result.candidates) {
        nlohmann::ordered_json entry = {{"thickness", jsonNumber(c.thickness)}};
        if (request.vary) entry[request.vary->name] = jsonNumber(c.variedIndex);
        entry["opticalPath"] = c.opticalPath;
        entry["order"] = c.order;
        entry["deltaE"] = c.deltaE;
        entry["judgement"] = judgementOf(c.deltaE);
        entry["colour"] = colourJson(c.colour, conversions);
        if (c.sameColourTo > c.sameColourFrom) {
            entry["sameColour"] = {c.sameColourFrom, c.sameColourTo};
        }
        out["candidates"].push_back(entry);
    }
    if (!command.apply.empty()) out["applied"] = command.apply;
    std::printf("%s\n", out.dump(2).c_str());
}

void printText(const MatchCommand& command, const MatchRequest& request,
               const TargetColour& target, const MatchResult& result,
               const ColourConversions& conversions) {
    std::printf("target %s (linear %s %s %s) seen at %s°, %s to %s nm", target.hex.c_str(),
                formatNumber(target.linear.r).c_str(), formatNumber(target.linear.g).c_str(),
                formatNumber(target.linear.b).c_str(), formatNumber(request.angleDegrees).c_str(),
                formatNumber(request.thicknessFrom).c_str(),
                formatNumber(request.thicknessTo).c_str());
    if (request.vary) {
        std::printf(", %s %s to %s", request.vary->name.c_str(),
                    formatNumber(request.vary->from).c_str(),
                    formatNumber(request.vary->to).c_str());
    }
    std::printf(": %d local best%s\n\n", result.localBests, result.localBests == 1 ? "" : "s");
    std::printf("   thickness  %sorder  ΔE2000  judgement  colour\n",
                request.vary ? (request.vary->name + std::string(10 - request.vary->name.size(), ' ')).c_str() : "");
    int rank = 0;
    for (const MatchCandidate& c : result.candidates) {
        std::printf("%d %8s nm  ", ++rank, fixedDecimals(c.thickness, 2).c_str());
        if (request.vary) std::printf("%-10s", fixedDecimals(c.variedIndex, 4).c_str());
        std::printf("%5d  %6s  %-9s  %s\n", c.order, fixedDecimals(c.deltaE, 2).c_str(),
                    judgementOf(c.deltaE),
                    hexOfEncoded(conversions.encodedOfLinear(c.colour)).c_str());
    }
    rank = 0;
    for (const MatchCandidate& c : result.candidates) {
        ++rank;
        if (c.sameColourTo > c.sameColourFrom) {
            std::printf("%s%d: every thickness from %s to %s nm gives this colour\n",
                        rank == 1 ? "\n" : "", rank, formatNumber(c.sameColourFrom).c_str(),
                        formatNumber(c.sameColourTo).c_str());
        }
    }
    if (!command.apply.empty() && !result.candidates.empty()) {
        std::printf("\n%s now holds the first: a constant film of %s nm\n", command.apply.c_str(),
                    floatText(result.candidates.front().thickness).c_str());
    }
}

int runMatch(const CommonOptions& common, const MatchCommand& command) {
    const MapSettings settings = toSettings(command.map);
    const TimeValue t = timeOf(command.map);
    const ColourConversions conversions;
    const TargetColour target = parseTargetColour(command.colour, conversions);
    MatchRequest request;
    request.target = target.lab;
    request.angleDegrees = command.angle;
    std::tie(request.thicknessFrom, request.thicknessTo) =
        parseRange(command.thickness, "--thickness");
    if (!command.vary.empty()) {
        const Assignment vary = parseAssignment(command.vary);
        const auto [from, to] = parseRange(vary.value, "--vary " + vary.name);
        request.vary = IndexRange{vary.name, from, to};
    }
    if (command.count < 1 || command.count > 50) {
        throw BadValue("--count " + std::to_string(command.count) + " is outside 1 to 50");
    }
    request.count = command.count;
    if (!command.scene.empty() && !command.apply.empty()) {
        throw BadValue("give --scene or --apply, not both: --apply searches its own scene's map");
    }
    if (command.strip == "-") {
        throw BadValue("--strip -: standard output carries the candidates; name a PNG file");
    }
    if (!command.strip.empty()) checkPngName(command.strip);

    HostSession session(findModule(standin::PathFromUtf8(common.plugin)));
    // Applying holds the scene from reading to saving, as `scene set` does.
    std::optional<SceneLock> lock;
    if (!command.apply.empty()) lock.emplace(standin::PathFromUtf8(command.apply), sceneLockWait());
    const std::string& sceneFile = command.apply.empty() ? command.scene : command.apply;
    if (!sceneFile.empty()) session.loadScene(standin::PathFromUtf8(sceneFile));
    Texmap* found = sceneFile.empty() ? &session.createMap() : session.findMap();
    if (found == nullptr) throw Failure("scene \"" + sceneFile + "\" holds no Nacrelle map");
    Texmap& map = *found;
    applySettings(map, settings, t);
    const MatchResult result = findMatches(map, t, request, conversions);

    if (!command.apply.empty() && !result.candidates.empty()) {
        applySettings(map, candidateSettings(result.candidates.front(), request.vary), t);
        session.saveScene(standin::PathFromUtf8(command.apply), commandWritePolicy(command.force));
    }
    if (!command.strip.empty()) {
        writeImage(renderMatchStrip(target, result, request.vary, conversions), command.strip,
                   PngEncoding{}, commandWritePolicy(command.force));
    }
    if (command.json) {
        printJson(command, request, target, result, conversions);
    } else {
        printText(command, request, target, result, conversions);
    }
    return 0;
}

}  // namespace

void addMatchCommand(CLI::App& app, const CommonOptions& common, int& result) {
    auto match = std::make_shared<MatchCommand>();
    auto* matchApp = app.add_subcommand(
        "match", "Find the film thicknesses (and indices) that give a colour");
    matchApp->add_option("colour", match->colour,
                         "The colour: sRGB hex (#6a3fa0, quoted in a shell) or linear r,g,b")
        ->required();
    addMapOptions(*matchApp, match->map);
    addPresetOption(*matchApp, match->map);
    matchApp->add_option("--scene", match->scene, "Search the map of this scene file")
        ->type_name("FILE");
    matchApp->add_option("--angle", match->angle,
                         "Viewing angle from the normal in degrees, 0 to 90")
        ->capture_default_str();
    matchApp->add_option("--thickness", match->thickness, "Thickness range searched, in nm")
        ->type_name("FROM:TO")
        ->capture_default_str();
    matchApp->add_option("--vary", match->vary,
                         "Search an index too: nmedium, nfilm or ninternal over FROM:TO")
        ->type_name("NAME=FROM:TO");
    matchApp->add_option("--count", match->count, "Candidates listed, 1 to 50")
        ->capture_default_str();
    matchApp->add_option("--apply", match->apply,
                         "Search this scene's map and save the best film into it (a constant "
                         "film: the thickness map is switched off)")
        ->type_name("SCENE");
    matchApp->add_option("--strip", match->strip, "Draw the candidates as swatches to a PNG file")
        ->type_name("FILE.png");
    matchApp->add_flag(kForceFlag, match->force,
                       "Replace a read-only scene or strip file (where you may delete it) or "
                       "one with several hard links");
    matchApp->add_flag("--json", match->json, "Print one JSON object");
    matchApp->callback([match, &common, &result] { result = runMatch(common, *match); });
}

#else

void addMatchCommand(CLI::App& app, const CommonOptions& /*common*/, int& /*result*/) {
    auto* matchApp = app.add_subcommand(
        "match", "Not in this Windows build (it needs LittleCMS): find the film that gives a "
                 "colour, in the Linux build");
    // Whatever follows is the Linux command's: kept here unread (not passed
    // up to the program's own options), so that the message below is the
    // one the user gets.
    matchApp->allow_extras();
    matchApp->fallthrough(false);
    matchApp->callback([] {
        throw Failure("match is not in this Windows build of nacrelle: it needs LittleCMS, "
                      "which this build is made without; the Linux build has it");
    });
}

#endif

}  // namespace nacrelle::tools
