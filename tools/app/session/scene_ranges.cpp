#include "app/session/scene_ranges.h"

#include <imtl.h>
#include <iparamb2.h>
#include <sdk/animation.h>
#include <params/param_access.h>

#include <cmath>
#include <cstdio>

#include "app/session/map_settings.h"

namespace nacrelle::tools {

namespace {

struct Limits {
    float low, high;
};

/// `value` within `limits` (NaN counts as below the range).
float limited(float value, Limits limits) {
    if (std::isnan(value)) return limits.low;
    return value < limits.low ? limits.low : value > limits.high ? limits.high : value;
}

void note(const std::string& file, const ParamDef& def, const std::string& where, float from,
          float to, Limits limits) {
    std::fprintf(stderr, "nacrelle: note: %s: %s%s %s lies outside %s to %s; using %s\n",
                 file.c_str(), def.int_name.ToUTF8().c_str(), where.c_str(),
                 standin::FormatFloat(from).c_str(), standin::FormatFloat(limits.low).c_str(),
                 standin::FormatFloat(limits.high).c_str(), standin::FormatFloat(to).c_str());
}

int clampBlock(IParamBlock2& block, const std::string& file) {
    ParamBlockDesc2* desc = block.GetDesc();
    int changed = 0;
    for (int i = 0; i < desc->Count(); ++i) {
        const ParamDef& def = desc->ParamDefAt(i);
        if (!def.has_range || (def.type != TYPE_FLOAT && def.type != TYPE_INT)) continue;
        const Limits limits = def.type == TYPE_INT
                                  ? Limits{float(def.range_low.i), float(def.range_high.i)}
                                  : Limits{def.range_low.f, def.range_high.f};
        const std::vector<standin::ParamKey> keys = standin::ParamKeys(block, def.ID);
        for (const standin::ParamKey& key : keys) {
            const float to = limited(key.value, limits);
            if (to == key.value) continue;
            standin::AnimateScope animate;
            standin::SetValueClamped(block, def.ID, key.time, to);
            note(file, def, "@" + standin::FormatFloat(float(key.time) / float(GetTicksPerFrame())),
                 key.value, to, limits);
            ++changed;
        }
        if (!keys.empty()) continue;
        float value = 0.0f;
        Interval valid = FOREVER;
        if (def.type == TYPE_INT) {
            int whole = 0;
            block.GetValue(def.ID, 0, whole, valid);
            value = float(whole);
        } else {
            block.GetValue(def.ID, 0, value, valid);
        }
        const float to = limited(value, limits);
        if (to == value) continue;
        standin::SetValueClamped(block, def.ID, 0, to);
        note(file, def, "", value, to, limits);
        ++changed;
    }
    return changed;
}

}  // namespace

int clampToRanges(Texmap& map, const std::string& file) {
    int changed = 0;
    for (ReferenceTarget* object : {static_cast<ReferenceTarget*>(&map),
                                    static_cast<ReferenceTarget*>(map.GetSubTexmap(0)),
                                    outputFilterOf(map)}) {
        if (object == nullptr) continue;
        for (int i = 0; i < object->NumRefs(); ++i) {
            if (auto* block = dynamic_cast<IParamBlock2*>(object->GetReference(i))) {
                changed += clampBlock(*block, file);
            }
        }
    }
    return changed;
}

}  // namespace nacrelle::tools
