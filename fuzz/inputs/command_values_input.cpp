// Command-line map options: malformed text is a usage error; what is accepted
// lands inside the parameters' ranges and renders to colours in [0, 1].
#include <imtl.h>
#include <iparamb2.h>
#include <maxapi.h>
#include <params/param_access.h>
#include <scene/scene.h>

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/inputs/evaluation_probe.h"
#include "fuzz/inputs/input_checks.h"
#include "fuzz/inputs/module_session.h"
#include "cli/map_options.h"
#include "common/errors.h"
#include "cli/map_options.h"
#include "app/session/map_settings.h"
#include "app/session/value_parser.h"

namespace nacrelle::fuzzing {
namespace {

struct Options {
    tools::MapOptions map;
    std::vector<std::string> numbers;
    std::vector<std::string> vectors;
};

/// Splits the input into lines of "WORD TEXT" and files each TEXT where the
/// command line would put it.
Options ReadOptions(std::string_view input) {
    Options options;
    while (!input.empty()) {
        const std::size_t end = input.find('\n');
        const std::string_view line = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);

        const std::size_t space = line.find(' ');
        const std::string_view word = line.substr(0, space);
        const std::string text(space == std::string_view::npos ? std::string_view()
                                                               : line.substr(space + 1));
        if (word == "key") {
            options.map.key.push_back(text);
        } else if (word == "mapset") {
            options.map.mapSet.push_back(text);
            options.map.thicknessMap = "noise";
        } else if (word == "map") {
            // Bitmaps would read files named by the input: only generated maps.
            if (text == "gradient" || text == "noise") options.map.thicknessMap = text;
        } else if (word == "output") {
            options.map.outputSet.push_back(text);
        } else if (word == "usemap") {
            options.map.useMap = text;
        } else if (word == "frame") {
            options.map.frame = tools::parseNumber(text, "--frame");
        } else if (word == "time") {
            options.map.time = tools::parseInteger(text, "--time");
        } else if (word == "number") {
            options.numbers.push_back(text);
        } else if (word == "vector") {
            options.vectors.push_back(text);
        } else if (word == "set") {
            options.map.set.push_back(text);
        } else {
            options.map.set.push_back(std::string(line));
        }
    }
    return options;
}

/// "" when every float parameter of `block` lies within its range at `t`.
std::string CheckRanges(IParamBlock2& block, TimeValue t, const std::string& owner) {
    ParamBlockDesc2* desc = block.GetDesc();
    for (int i = 0; i < desc->Count(); ++i) {
        const ParamDef& def = desc->ParamDefAt(i);
        if (def.type != TYPE_FLOAT || !def.has_range) continue;
        const float value = block.GetFloat(def.ID, t);
        if (!(value >= def.range_low.f && value <= def.range_high.f)) {
            return owner + " parameter \"" + def.int_name.ToUTF8() + "\" holds " +
                   std::to_string(value) + " at time " + std::to_string(t) + ", outside " +
                   std::to_string(def.range_low.f) + " to " + std::to_string(def.range_high.f);
        }
    }
    return {};
}

/// "" when `frame` names a time the host can hold, as accepted input must.
std::string CheckFrame(double frame, const std::string& what) {
    const double ticks = std::round(frame * GetTicksPerFrame());
    if (ticks > TIME_NegInfinity && ticks < TIME_PosInfinity) return {};
    return what + " at frame " + std::to_string(frame) +
           " was accepted, beyond the host's time range";
}

Finding CheckAppliedMap(Texmap& map, const Options& options, const tools::MapSettings& settings,
                        TimeValue t) {
    if (options.map.frame) {
        if (Finding bad = CheckFrame(*options.map.frame, "--frame"); !bad.empty()) return bad;
    }
    for (const tools::KeyAssignment& key : settings.keys) {
        if (Finding bad = CheckFrame(key.frame, "a key of \"" + key.name + "\""); !bad.empty()) {
            return bad;
        }
    }

    std::vector<TimeValue> times = {t};
    IParamBlock2& block = *map.GetParamBlock(0);
    for (int i = 0; i < block.GetDesc()->Count(); ++i) {
        for (const standin::ParamKey& key :
             standin::ParamKeys(block, block.GetDesc()->ParamDefAt(i).ID)) {
            times.push_back(key.time);
        }
    }
    // The output filter's ranges let a user push the map past 1 on purpose.
    const bool unitRange = options.map.outputSet.empty();
    for (TimeValue time : times) {
        if (Finding bad = CheckRanges(block, time, "map"); !bad.empty()) {
            return bad;
        }
        if (Texmap* sub = map.GetSubTexmap(0); sub != nullptr && sub->GetParamBlock(0)) {
            if (Finding bad = CheckRanges(*sub->GetParamBlock(0), time, "thickness map");
                !bad.empty()) {
                return bad;
            }
        }
        if (Finding bad = ProbeEvaluation(map, time, unitRange); !bad.empty()) return bad;
    }
    return {};
}

}  // namespace

Finding CheckCommandValues(std::span<const std::uint8_t> bytes) {
    tools::HostSession& session = ModuleSession();
    const std::string_view input(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    Options options;
    tools::MapSettings settings;
    TimeValue t = 0;
    try {
        options = ReadOptions(input);
        for (const std::string& text : options.numbers) {
            const double value = tools::parseNumber(text, "number");
            if (!std::isfinite(value)) return "\"" + text + "\" parsed to a non-finite number";
        }
        for (const std::string& text : options.vectors) {
            const tools::Vector3 v = tools::parseVector(text, "vector");
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) {
                return "\"" + text + "\" parsed to a non-finite vector";
            }
        }
        settings = tools::toSettings(options.map);
        t = tools::timeOf(options.map);
    } catch (const tools::BadValue&) {
        return {};
    }

    Texmap& map = session.createMap();
    Finding finding;
    try {
        tools::applySettings(map, settings, t);
        finding = CheckAppliedMap(map, options, settings, t);
    } catch (const tools::BadValue&) {
        // Refused: the program discards the map, as here.
    } catch (const tools::Failure&) {
    }
    session.scene().Remove(&map);
    return finding;
}

}  // namespace nacrelle::fuzzing
