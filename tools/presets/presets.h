// Named starting points for real coatings: parameter values by script name,
// an optional thickness map, and where each number comes from. The values
// are checked against the loaded module's parameter block when a preset is
// applied, never against a copy of its ranges.
#pragma once

#include <max.h>

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

class Texmap;

namespace nacrelle::tools {

/// One value a preset sets: a parameter's script name and its value.
struct PresetValue {
    std::string_view name;
    double value;
};

struct Preset {
    std::string_view name;            ///< what users type after --preset
    std::string_view description;     ///< one line
    std::vector<PresetValue> values;  ///< the map's parameters; the rest keep their defaults
    std::string_view thicknessMap;    ///< "" (none), "noise" or "gradient"
    std::vector<PresetValue> thicknessMapValues;
    std::vector<PresetValue> outputValues;  ///< the output filter's; the rest keep their defaults
    // What the indices and thicknesses stand for, and their sources.
    std::string_view medium;
    std::string_view film;
    std::string_view base;
    std::string_view thickness;
    std::string_view note;  ///< settings that serve the look rather than the physics
};

/// Every preset, in the order they are listed and shown in the gallery.
const std::vector<Preset>& allPresets();

/// The preset called `name`; a UsageError listing the known names otherwise.
const Preset& findPreset(std::string_view name);

/// Sets `preset`'s values (its thickness map, switched on, and its output
/// filter settings) on `map` at time t, through the map's own parameter
/// blocks. A value the loaded module refuses (an unknown name, outside its
/// range) is a Failure naming the preset, the parameter and the range.
void applyPreset(Texmap& map, const Preset& preset, TimeValue t);

/// The preset in full, as `nacrelle presets --json` prints it.
nlohmann::ordered_json presetJson(const Preset& preset);

}  // namespace nacrelle::tools
