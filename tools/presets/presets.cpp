#include "tools/presets/presets.h"

#include <imtl.h>

#include "tools/common/errors.h"
#include "tools/session/map_settings.h"
#include "tools/session/value_parser.h"

namespace nacrelle::tools {

namespace {

std::vector<Assignment> assignments(const std::vector<PresetValue>& values) {
    std::vector<Assignment> list;
    for (const PresetValue& v : values)
        list.push_back({std::string(v.name), formatNumber(v.value)});
    return list;
}

nlohmann::ordered_json valuesJson(const std::vector<PresetValue>& values) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const PresetValue& v : values) object[std::string(v.name)] = v.value;
    return object;
}

}  // namespace

const Preset& findPreset(std::string_view name) {
    std::string known;
    for (const Preset& preset : allPresets()) {
        if (preset.name == name) return preset;
        known += (known.empty() ? "" : ", ") + std::string(preset.name);
    }
    throw UsageError("unknown preset \"" + std::string(name) + "\"; presets: " + known);
}

void applyPreset(Texmap& map, const Preset& preset, TimeValue t) {
    MapSettings settings;
    settings.values = assignments(preset.values);
    settings.thicknessMap = std::string(preset.thicknessMap);
    settings.thicknessMapValues = assignments(preset.thicknessMapValues);
    settings.outputValues = assignments(preset.outputValues);
    try {
        applySettings(map, settings, t);
    } catch (const UsageError& error) {
        // Not the user's typing: the preset does not fit the loaded module.
        throw Failure("preset \"" + std::string(preset.name) +
                      "\" does not fit the loaded module: " + error.what());
    }
}

nlohmann::ordered_json presetJson(const Preset& preset) {
    // In the order a reader wants them: what it is, what it sets, why.
    nlohmann::ordered_json json{{"name", preset.name},
                                {"description", preset.description},
                                {"parameters", valuesJson(preset.values)}};
    json["thicknessMap"] = nullptr;
    if (!preset.thicknessMap.empty()) {
        json["thicknessMap"] = {{"kind", preset.thicknessMap},
                                {"parameters", valuesJson(preset.thicknessMapValues)}};
    }
    json["output"] = valuesJson(preset.outputValues);
    json["sources"] = {{"medium", preset.medium},
                       {"film", preset.film},
                       {"base", preset.base},
                       {"thickness", preset.thickness}};
    if (!preset.note.empty()) json["note"] = preset.note;
    return json;
}

}  // namespace nacrelle::tools
