// What the command line says about a map: parameter values by script name,
// keys, the thickness sub-map and the output filter. Applied to a live map
// through its parameter blocks, exactly as a script would.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/session/host_types.h"

#include "app/session/value_parser.h"


namespace nacrelle::tools {

struct Preset;

struct MapSettings {
    const Preset* preset = nullptr;        ///< --preset: applied before everything else
    std::vector<Assignment> values;        ///< --set NAME=VALUE
    std::vector<KeyAssignment> keys;       ///< --key NAME@FRAME=VALUE
    std::vector<KeyAssignment> unkeys;     ///< --unkey NAME@FRAME (no value)
    std::string thicknessMap;              ///< --thickness-map gradient|noise|bitmap:FILE
    std::vector<Assignment> thicknessMapValues;  ///< --map-set NAME=VALUE
    std::optional<bool> useThicknessMap;   ///< --use-map on|off
    std::optional<double> constantMapValue;  ///< a constant sub-map of this mono value
    std::vector<Assignment> outputValues;  ///< output filter settings by script name

    bool empty() const;
};

/// Applies `settings` to `map` at time `t` (keys at their frames), the
/// preset first so that the rest adjusts it. Unknown
/// names (with the known ones), values out of range (with the range) and
/// malformed values are UsageErrors; nothing is applied then... except what
/// came before the faulty item, so callers apply settings to a map they
/// discard on error.
void applySettings(Texmap& map, const MapSettings& settings, TimeValue t);

/// Sets `preset`'s values (its thickness map, switched on, and its output
/// filter settings) on `map` at time t, as numbers, through the map's own
/// parameter blocks. A value the loaded module refuses (an unknown name,
/// outside its range) is a Failure naming the preset, the parameter and the
/// range.
void applyPreset(Texmap& map, const Preset& preset, TimeValue t);

/// The time of a frame number (may be fractional) at the host's frame rate.
/// The frame must be one the host can represent (see isFrameInTimeRange).
TimeValue frameToTime(double frame);

/// True when `frame` is finite and its time lies strictly between the host's
/// negative and positive infinities.
bool isFrameInTimeRange(double frame);

/// True when `ticks` lies strictly between the host's negative and positive
/// infinities.
bool isTickInTimeRange(long ticks);

/// Throws a Failure when `map` uses (switch on at t) a bitmap thickness map
/// whose image could not be read, as after loading a scene whose image file
/// has gone: rendering would silently show the map without it.
void requireThicknessImage(Texmap& map, TimeValue t);

/// The file of the map's bitmap thickness map, or "" when it has none.
std::filesystem::path thicknessImageFile(Texmap& map);

/// The map's output filter (its reference of the output-filter super class).
ReferenceTarget* outputFilterOf(Texmap& map);

}  // namespace nacrelle::tools
