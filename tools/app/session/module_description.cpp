#include "app/session/module_description.h"

#include <imtl.h>
#include <iparamb2.h>
#include <maps/shade_context.h>
#include <maps/standard_texture_output.h>
#include <modules/module_loader.h>

#include <cstdio>
#include <utility>

#include "app/session/host_session.h"
#include "app/session/json_values.h"
#include "app/session/thickness_map_kinds.h"

namespace nacrelle::tools {

namespace {

std::string hex(unsigned long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

std::string utf8(const MCHAR* text) { return text != nullptr ? MSTR(text).ToUTF8() : ""; }

const char* typeName(ParamType2 type) {
    switch (static_cast<int>(type)) {
        case TYPE_FLOAT: return "float";
        case TYPE_INT: return "int";
        case TYPE_RGBA: return "rgba";
        case TYPE_POINT3: return "point3";
        case TYPE_BOOL: return "bool";
        case TYPE_TEXMAP: return "texmap";
        case TYPE_REFTARG: return "reftarg";
    }
    return "unknown";
}

nlohmann::json defaultOf(const ParamDef& def) {
    if (!def.has_default) return nullptr;
    if (def.type == TYPE_BOOL) return def.def.i != 0;
    if (def.type == TYPE_INT) return def.def.i;
    return jsonNumber(def.def.f);
}

nlohmann::json rangeOf(const ParamDef& def) {
    if (!def.has_range) return nullptr;
    if (def.type == TYPE_INT) return nlohmann::json::array({def.range_low.i, def.range_high.i});
    return nlohmann::json::array({jsonNumber(def.range_low.f), jsonNumber(def.range_high.f)});
}

nlohmann::json parametersOf(ClassDesc2& cd) {
    nlohmann::json parameters = nlohmann::json::array();
    for (int b = 0; b < cd.NumParamBlockDescs(); ++b) {
        ParamBlockDesc2* pbd = cd.GetParamBlockDesc(b);
        for (int i = 0; i < pbd->Count(); ++i) {
            const ParamDef& def = pbd->ParamDefAt(i);
            parameters.push_back({{"block", pbd->ID},
                                  {"id", def.ID},
                                  {"scriptName", def.int_name.ToUTF8()},
                                  {"displayName", utf8(cd.GetRsrcString(def.local_name))},
                                  {"type", typeName(def.type)},
                                  {"default", defaultOf(def)},
                                  {"range", rangeOf(def)},
                                  {"animatable", def.IsAnimatable()}});
        }
    }
    return parameters;
}

/// The MTLREQ_ flags of `flags` by name; bits without a name as hex.
nlohmann::json requirementNames(ULONG flags) {
    static constexpr std::pair<ULONG, const char*> kNames[] = {
        {MTLREQ_TRANSP, "MTLREQ_TRANSP"},
        {MTLREQ_UV, "MTLREQ_UV"},
        {MTLREQ_VIEW_DEP, "MTLREQ_VIEW_DEP"},
    };
    nlohmann::json names = nlohmann::json::array();
    for (const auto& [flag, name] : kNames) {
        if ((flags & flag) != 0) names.push_back(name);
        flags &= ~flag;
    }
    for (ULONG bit = 1; bit != 0; bit <<= 1) {
        if ((flags & bit) != 0) names.push_back(hex(bit));
    }
    return names;
}

}  // namespace

nlohmann::json describeModule(HostSession& session) {
    const standin::LoadedModule& module = session.module();
    ClassDesc2& cd = session.mapClass();
    nlohmann::json info;
    info["file"] = module.File().string();
    info["version"] = hex(module.Version());
    info["release"] = GET_MAX_RELEASE(module.Version());
    info["description"] = MSTR(module.Description().c_str()).ToUTF8();
    info["className"] = utf8(cd.ClassName());
    info["internalName"] = utf8(cd.InternalName());
    info["category"] = utf8(cd.Category());
    info["classID"] = {{"partA", hex(cd.ClassID().PartA())}, {"partB", hex(cd.ClassID().PartB())}};
    info["superClass"] = hex(cd.SuperClassID());
    // What a new map asks of the renderer, as the host asks it.
    Texmap& map = session.createMap();
    standin::RenderShadeContext sc;
    info["requirements"] = requirementNames(map.Requirements(0));
    info["outputMeaningful"] = map.IsOutputMeaningful(sc);

    info["parameters"] = parametersOf(cd);
    // What --thickness-map plugs in and --map-set sets, and what --output sets.
    for (const ThicknessMapKind& kind : ThicknessMapKinds()) {
        ClassDesc2& desc = *kind.desc();
        info["thicknessMaps"].push_back(
            {{"kind", std::string(kind.name) + (kind.takesPng ? ":FILE" : "")},
             {"className", utf8(desc.ClassName())},
             {"parameters", parametersOf(desc)}});
    }
    ClassDesc2* output = standin::StandardTextureOutputDesc();
    info["outputFilter"] = {{"className", utf8(output->ClassName())},
                            {"parameters", parametersOf(*output)}};
    return info;
}

}  // namespace nacrelle::tools
