#include "app/presets/presets.h"

#include "common/errors.h"

namespace nacrelle::tools {

namespace {

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
    throw BadValue("unknown preset \"" + std::string(name) + "\"; presets: " + known);
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
