#include "cli/map_options.h"

#include <CLI/CLI.hpp>

#include <string>

#include "common/errors.h"
#include "app/presets/presets.h"

namespace nacrelle::tools {

void addMapOptions(CLI::App& app, MapOptions& map) {
    app.add_option("--set", map.set, "Set a parameter by script name (repeatable)")
        ->type_name("NAME=VALUE");
    app.add_option("--key", map.key, "Set a key of an animated parameter (repeatable)")
        ->type_name("NAME@FRAME=VALUE");
    app.add_option("--thickness-map", map.thicknessMap,
                   "Plug a thickness map into the map and switch it on")
        ->type_name("gradient|noise|bitmap:FILE|none");
    app.add_option("--map-set", map.mapSet, "Set a parameter of the thickness map (repeatable)")
        ->type_name("NAME=VALUE");
    app.add_option("--use-map", map.useMap, "Switch the thickness map on or off")
        ->type_name("on|off");
    app.add_option("--output", map.outputSet,
                   "Set an output-filter setting: outputamount, rgblevel, rgboffset, invert, "
                   "clamp, alphafromrgb (repeatable)")
        ->type_name("NAME=VALUE");
    auto* frame = app.add_option("--frame", map.frame, "Evaluate at this frame (30 per second)");
    app.add_option("--time", map.time, "Evaluate at this time in ticks (4800 per second)")
        ->excludes(frame);
}

MapSettings toSettings(const MapOptions& options) {
    MapSettings settings;
    if (options.preset) settings.preset = &findPreset(*options.preset);
    for (const std::string& text : options.set) settings.values.push_back(parseAssignment(text));
    for (const std::string& text : options.key) {
        settings.keys.push_back(parseKey(text));
        if (!isFrameInTimeRange(settings.keys.back().frame)) {
            throw BadValue("key \"" + text + "\": the frame is outside the host's time range");
        }
    }
    for (const std::string& text : options.unkey) {
        // NAME@FRAME read as a key without its value.
        KeyAssignment key = parseKey(text + "=0");
        key.value.clear();
        settings.unkeys.push_back(key);
    }
    for (const std::string& text : options.mapSet) {
        settings.thicknessMapValues.push_back(parseAssignment(text));
    }
    for (const std::string& text : options.outputSet) {
        if (text.find('=') == std::string::npos) {
            throw BadValue("--output \"" + text + "\" is no output-filter setting " +
                             "(NAME=VALUE); to name the image file, use -o " + text);
        }
        settings.outputValues.push_back(parseAssignment(text));
    }
    settings.thicknessMap = options.thicknessMap;
    if (!options.useMap.empty()) settings.useThicknessMap = parseSwitch(options.useMap, "--use-map");
    return settings;
}

TimeValue timeOf(const MapOptions& options) {
    if (options.frame && options.time) throw BadValue("give --frame or --time, not both");
    if (options.frame) {
        if (!isFrameInTimeRange(*options.frame)) {
            throw BadValue("--frame " + formatNumber(*options.frame) +
                             " is outside the host's time range");
        }
        return frameToTime(*options.frame);
    }
    if (options.time) {
        if (!isTickInTimeRange(*options.time)) {
            throw BadValue("--time " + std::to_string(*options.time) +
                             " is outside the host's time range");
        }
        return static_cast<TimeValue>(*options.time);
    }
    return 0;
}

}  // namespace nacrelle::tools
