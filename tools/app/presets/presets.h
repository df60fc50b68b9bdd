// Named starting points for real coatings: parameter values by script name,
// an optional thickness map, and where each number comes from. Presets are
// data: the settings code applies them (applyPreset in map_settings.h), and
// checks their values against the loaded module's parameter block then,
// never against a copy of its ranges.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

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

/// The preset called `name`; a BadValue listing the known names otherwise.
const Preset& findPreset(std::string_view name);

/// The preset in full, as `nacrelle presets --json` prints it.
nlohmann::ordered_json presetJson(const Preset& preset);

}  // namespace nacrelle::tools
