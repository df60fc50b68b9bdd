#include "app/session/json_values.h"

#include <imtl.h>
#include <iparamb2.h>
#include <maps/grey_maps.h>
#include <params/param_access.h>
#include <sdk/animation.h>
#include <sdk/host_file_names.h>

#include <string>

#include "app/session/map_settings.h"
#include "app/session/panel_labels.h"

namespace nacrelle::tools {

nlohmann::json jsonNumber(float value) { return std::stod(standin::FormatFloat(value)); }

namespace {

nlohmann::json valueOf(const standin::ScriptValue& value) {
    switch (static_cast<int>(value.type)) {
        case TYPE_FLOAT: return jsonNumber(value.f);
        case TYPE_INT: return value.i;
        case TYPE_BOOL: return value.i != 0;
        default: return value.ref != nullptr ? nlohmann::json(value.ToText()) : nlohmann::json();
    }
}

}  // namespace

nlohmann::ordered_json describeObject(ReferenceTarget* object) {
    if (object == nullptr) return nullptr;
    MSTR className;
    object->GetClassName(className, false);
    nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
    for (int b = 0; b < object->NumParamBlocks(); ++b) {
        IParamBlock2* block = object->GetParamBlock(b);
        if (block == nullptr) continue;
        ParamBlockDesc2* desc = block->GetDesc();
        for (int i = 0; i < desc->Count(); ++i) {
            const ParamDef& def = desc->ParamDefAt(i);
            const std::string name = def.int_name.ToUTF8();
            standin::ScriptValue value;
            std::string error;
            if (!standin::GetParamByScriptName(*block, name, 0, value, error)) continue;
            nlohmann::ordered_json entry = {{"value", valueOf(value)}};
            // The name the host's user interface gives the parameter.
            const MCHAR* display = desc->cd != nullptr ? desc->cd->GetRsrcString(def.local_name)
                                                       : nullptr;
            if (display != nullptr && *display != 0) entry["displayName"] = MSTR(display).ToUTF8();
            const std::vector<standin::ParamKey> keys = standin::ParamKeys(*block, def.ID);
            if (!keys.empty()) {
                nlohmann::ordered_json list = nlohmann::ordered_json::array();
                for (const standin::ParamKey& key : keys) {
                    const double frame =
                        static_cast<double>(key.time) / static_cast<double>(GetTicksPerFrame());
                    list.push_back({{"frame", frame}, {"value", jsonNumber(key.value)}});
                }
                entry["keys"] = list;
            }
            parameters[name] = entry;
        }
    }
    return {{"class", className.ToUTF8()}, {"parameters", parameters}};
}

std::string floatText(float value) { return standin::FormatFloat(value); }

nlohmann::ordered_json describeMap(Texmap& map) {
    nlohmann::ordered_json description = describeObject(&map);
    Texmap* thicknessMap = map.GetSubTexmap(0);
    description["thicknessMap"] = describeObject(thicknessMap);
    // A bitmap's file is no parameter, but it is what the user chose.
    if (auto* bitmap = dynamic_cast<standin::GreyBitmapMap*>(thicknessMap)) {
        description["thicknessMap"]["file"] =
            standin::FileNameFromHost(bitmap->GetFileName()).string();
        if (!bitmap->ImageError().empty()) {
            description["thicknessMap"]["imageError"] = bitmap->ImageError();
        }
    }
    description["output"] = describeObject(outputFilterOf(map));
    for (const auto& [name, label] : panelLabels(map)) {
        if (description["parameters"].contains(name)) {
            description["parameters"][name]["label"] = label;
        }
    }
    return description;
}

}  // namespace nacrelle::tools
