#include "app/session/map_settings.h"

#include <imtl.h>
#include <iparamb2.h>
#include <sdk/animation.h>
#include <sdk/class_directory.h>
#include <platform/command_line.h>
#include <sdk/host_file_names.h>
#include <maps/grey_maps.h>
#include <params/param_access.h>
#include <stdmat.h>

#include <cmath>
#include <filesystem>

#include "common/errors.h"
#include "app/presets/presets.h"
#include "app/session/thickness_map_kinds.h"

namespace nacrelle::tools {

namespace {

constexpr const char* kNoThicknessMap = "none";

std::string narrow(const MSTR& text) { return text.ToUTF8(); }

std::string knownNames(IParamBlock2& block) {
    ParamBlockDesc2* desc = block.GetDesc();
    std::string names;
    for (int i = 0; i < desc->Count(); ++i) {
        // Objects are plugged in with options of their own, not by value.
        if (desc->ParamDefAt(i).IsReference()) continue;
        if (!names.empty()) names += ", ";
        names += narrow(desc->ParamDefAt(i).int_name);
    }
    return names;
}

/// Throws the BadValue of a name that `block` has no value for.
void checkSettable(IParamBlock2& block, const std::string& what, std::string_view name) {
    const ParamDef* def = standin::FindParamByScriptName(block, name);
    if (def == nullptr) {
        throw BadValue("unknown " + what + " \"" + std::string(name) + "\"; known: " +
                         knownNames(block));
    }
    if (def->IsReference()) {
        throw BadValue(what + " \"" + std::string(name) +
                         "\" holds an object; it is set with its own option");
    }
}

void setByScriptName(IParamBlock2& block, const std::string& what, const std::string& name,
                     const std::string& value, TimeValue t) {
    checkSettable(block, what, name);
    std::string error;
    if (!standin::SetParamByScriptName(block, name, value, t, error)) throw BadValue(error);
}

/// A preset's values: numbers, set as numbers.
void setPresetValues(IParamBlock2& block, const std::string& what,
                     const std::vector<PresetValue>& values, TimeValue t) {
    for (const PresetValue& v : values) {
        checkSettable(block, what, v.name);
        std::string error;
        if (!standin::SetParamByScriptName(block, v.name, v.value, t, error)) {
            throw BadValue(error);
        }
    }
}

IParamBlock2& blockOf(Animatable& object, const char* what) {
    IParamBlock2* block = object.GetParamBlock(0);
    if (block == nullptr) throw Failure(std::string(what) + " has no parameters");
    return *block;
}

/// The script name of the map's parameter bound to its sub-map slot 0, and
/// that of the switch next to it.
const ParamDef* subMapParam(IParamBlock2& block) {
    ParamBlockDesc2* desc = block.GetDesc();
    for (int i = 0; i < desc->Count(); ++i) {
        if (desc->ParamDefAt(i).type == TYPE_TEXMAP) return &desc->ParamDefAt(i);
    }
    return nullptr;
}

/// "gradient, noise, bitmap:FILE": the kinds as typed.
std::string typedKinds() {
    std::string names;
    for (const ThicknessMapKind& kind : ThicknessMapKinds()) {
        names += std::string(names.empty() ? "" : ", ") + kind.name + (kind.takesPng ? ":FILE" : "");
    }
    return names;
}

Texmap* createThicknessMap(const std::string& typed) {
    // NAME, or NAME:FILE for a kind that reads a PNG.
    const std::size_t colon = typed.find(':');
    const ThicknessMapKind* kind = FindThicknessMapKind(typed.substr(0, colon));
    if (kind == nullptr || kind->takesPng != (colon != std::string::npos)) {
        throw BadValue("--thickness-map: \"" + typed + "\" is not a thickness map (" +
                         typedKinds() + " or " + kNoThicknessMap + ")");
    }
    ClassDesc2* desc = kind->desc();
    std::filesystem::path file;
    if (kind->takesPng) {
        file = standin::PathFromUtf8(typed.substr(colon + 1));
        if (file.empty()) {
            throw BadValue("--thickness-map " + std::string(kind->name) + ": needs a file, as " +
                             kind->name + ":FILE");
        }
        // The map keeps the full path, as the host's file dialogs give it, so
        // that a scene saved with it renders from any working directory.
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(file, error);
        if (!error) file = full.lexically_normal();
    }
    auto* map = static_cast<Texmap*>(standin::CreateInstance(desc));
    if (map == nullptr) throw Failure("the host could not create a " + typed + " map");
    if (!file.empty()) {
        std::string error;
        if (!static_cast<standin::GreyBitmapMap*>(map)->SetFileName(standin::FileNameToHost(file),
                                                                    error)) {
            map->DeleteMe();
            throw Failure(error);
        }
    }
    return map;
}

Texmap* createConstantMap(double value) {
    auto* map = static_cast<Texmap*>(standin::CreateInstance(standin::GreyConstantDesc()));
    if (map == nullptr) throw Failure("the host could not create a constant map");
    map->GetParamBlock(0)->SetValue(standin::constant_value, 0, static_cast<float>(value));
    return map;
}

}  // namespace

bool MapSettings::empty() const {
    return preset == nullptr && values.empty() && keys.empty() && unkeys.empty() &&
           thicknessMap.empty() && thicknessMapValues.empty() && !useThicknessMap &&
           !constantMapValue && outputValues.empty();
}

TimeValue frameToTime(double frame) {
    return static_cast<TimeValue>(std::lround(frame * GetTicksPerFrame()));
}

bool isFrameInTimeRange(double frame) {
    const double ticks = std::round(frame * GetTicksPerFrame());
    return std::isfinite(ticks) && ticks > static_cast<double>(TIME_NegInfinity) &&
           ticks < static_cast<double>(TIME_PosInfinity);
}

bool isTickInTimeRange(long ticks) {
    return ticks >= TIME_NegInfinity + 1L && ticks <= TIME_PosInfinity - 1L;
}

void requireThicknessImage(Texmap& map, TimeValue t) {
    auto* bitmap = dynamic_cast<standin::GreyBitmapMap*>(map.GetSubTexmap(0));
    if (bitmap == nullptr || bitmap->ImageError().empty()) return;
    standin::ScriptValue enabled;
    std::string error;
    IParamBlock2& block = blockOf(map, "the map");
    if (standin::GetParamByScriptName(block, "thicknessmapenabled", t, enabled, error) &&
        enabled.i == 0) {
        return;
    }
    throw Failure("the thickness map's image cannot be read: " + bitmap->ImageError());
}

std::filesystem::path thicknessImageFile(Texmap& map) {
    auto* bitmap = dynamic_cast<standin::GreyBitmapMap*>(map.GetSubTexmap(0));
    if (bitmap == nullptr || bitmap->GetFileName().isNull()) return {};
    return standin::FileNameFromHost(bitmap->GetFileName());
}

ReferenceTarget* outputFilterOf(Texmap& map) {
    for (int i = 0; i < map.NumRefs(); ++i) {
        ReferenceTarget* target = map.GetReference(i);
        if (target != nullptr && target->SuperClassID() == TEXOUTPUT_CLASS_ID) return target;
    }
    return nullptr;
}

void applyPreset(Texmap& map, const Preset& preset, TimeValue t) {
    try {
        IParamBlock2& block = blockOf(map, "the map");
        setPresetValues(block, "parameter", preset.values, t);
        if (!preset.thicknessMap.empty()) {
            const ParamDef* slot = subMapParam(block);
            if (slot == nullptr) throw Failure("the map has no sub-map slot");
            Texmap* subMap = createThicknessMap(std::string(preset.thicknessMap));
            map.SetSubTexmap(slot->subtexno >= 0 ? slot->subtexno : 0, subMap);
            setPresetValues(blockOf(*subMap, "the thickness map"), "thickness-map parameter",
                            preset.thicknessMapValues, t);
            setPresetValues(block, "parameter", {{"thicknessmapenabled", 1.0}}, t);
        }
        if (!preset.outputValues.empty()) {
            ReferenceTarget* filter = outputFilterOf(map);
            if (filter == nullptr) throw Failure("the map has no output filter");
            setPresetValues(blockOf(*filter, "the output filter"), "output-filter setting",
                            preset.outputValues, t);
        }
    } catch (const BadValue& error) {
        // Not the user's typing: the preset does not fit the loaded module.
        throw Failure("preset \"" + std::string(preset.name) +
                      "\" does not fit the loaded module: " + error.what());
    }
}

void applySettings(Texmap& map, const MapSettings& settings, TimeValue t) {
    if (settings.preset != nullptr) applyPreset(map, *settings.preset, t);
    IParamBlock2& block = blockOf(map, "the map");
    for (const Assignment& a : settings.values)
        setByScriptName(block, "parameter", a.name, a.value, t);
    for (const KeyAssignment& key : settings.unkeys) {
        const ParamDef* def = standin::FindParamByScriptName(block, key.name);
        if (def == nullptr) {
            throw BadValue("unknown parameter \"" + key.name + "\"; known: " + knownNames(block));
        }
        if (!standin::DeleteParamKey(block, def->ID, frameToTime(key.frame))) {
            std::string frames;
            for (const standin::ParamKey& k : standin::ParamKeys(block, def->ID)) {
                frames += (frames.empty() ? "" : ", ") +
                          formatNumber(double(k.time) / double(GetTicksPerFrame()));
            }
            throw BadValue("--unkey " + key.name + "@" + formatNumber(key.frame) + ": no key " +
                             "there (" + (frames.empty() ? "it has no keys" : "keys at " + frames) +
                             ")");
        }
    }
    for (const KeyAssignment& key : settings.keys) {
        // A key on a constant would quietly set it for every frame.
        if (const ParamDef* def = standin::FindParamByScriptName(block, key.name);
            def != nullptr && !def->IsAnimatable()) {
            throw BadValue("--key " + key.name + "@...: \"" + key.name +
                             "\" cannot be animated; set it with --set");
        }
        standin::AnimateScope animate;
        setByScriptName(block, "parameter", key.name, key.value, frameToTime(key.frame));
    }

    const ParamDef* slot = subMapParam(block);
    const bool wantsMap = !settings.thicknessMap.empty() || settings.constantMapValue.has_value();
    if (wantsMap && slot == nullptr) throw Failure("the map has no sub-map slot");
    Texmap* subMap = nullptr;
    const bool removeMap = settings.thicknessMap == kNoThicknessMap;
    if (settings.constantMapValue) {
        subMap = createConstantMap(*settings.constantMapValue);
    } else if (!settings.thicknessMap.empty() && !removeMap) {
        subMap = createThicknessMap(settings.thicknessMap);
    }
    if (subMap != nullptr || removeMap) {
        map.SetSubTexmap(slot->subtexno >= 0 ? slot->subtexno : 0, subMap);
    }
    if (removeMap && settings.useThicknessMap.value_or(false)) {
        throw BadValue("--thickness-map none and --use-map on contradict each other");
    }
    if (!settings.thicknessMapValues.empty()) {
        // A new map, or the one the map already has (from a scene).
        Texmap* target = subMap != nullptr ? subMap : map.GetSubTexmap(0);
        if (target == nullptr) {
            throw BadValue("--map-set needs a thickness map (--thickness-map)");
        }
        for (const Assignment& a : settings.thicknessMapValues) {
            setByScriptName(blockOf(*target, "the thickness map"), "thickness-map parameter",
                            a.name, a.value, t);
        }
    }

    // A map given on the command line is meant to be seen: switch it on
    // unless told otherwise.
    if (settings.useThicknessMap || subMap != nullptr || removeMap) {
        const bool on = settings.useThicknessMap.value_or(!removeMap);
        setByScriptName(block, "parameter", "thicknessmapenabled", on ? "on" : "off", t);
    }

    if (!settings.outputValues.empty()) {
        ReferenceTarget* filter = outputFilterOf(map);
        if (filter == nullptr) throw Failure("the map has no output filter");
        for (const Assignment& a : settings.outputValues) {
            setByScriptName(blockOf(*filter, "the output filter"), "output-filter setting", a.name,
                            a.value, t);
        }
    }
}

}  // namespace nacrelle::tools
