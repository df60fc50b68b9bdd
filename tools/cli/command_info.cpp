// `nacrelle info`: the module's identity and its parameter table.
#include <CLI/CLI.hpp>
#include <iparamb2.h>
#include <platform/command_line.h>
#include <imtl.h>
#include <maps/grey_maps.h>
#include <maps/shade_context.h>
#include <params/param_access.h>
#include <maps/standard_texture_output.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <memory>
#include <string>
#include <utility>

#include "cli/command_registration.h"
#include "app/session/host_session.h"
#include "app/session/thickness_map_kinds.h"
#include "app/session/json_values.h"

namespace nacrelle::tools {

namespace {

struct InfoCommand {
    bool json = false;
};

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

std::string text(const nlohmann::json& value) {
    if (value.is_null()) return "-";
    if (value.is_number_float()) return standin::FormatFloat(value.get<float>());
    return value.dump();
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

nlohmann::json describe(HostSession& session) {
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

void printParameters(const nlohmann::json& parameters) {
    std::printf("%3s  %-20s  %-24s  %-8s  %8s  %-16s  %s\n", "ID", "script name", "display name",
                "type", "default", "range", "animatable");
    for (const nlohmann::json& p : parameters) {
        const std::string range = p["range"].is_null()
                                      ? "-"
                                      : text(p["range"][0]) + " to " + text(p["range"][1]);
        std::printf("%3d  %-20s  %-24s  %-8s  %8s  %-16s  %s\n", p["id"].get<int>(),
                    p["scriptName"].get<std::string>().c_str(),
                    p["displayName"].get<std::string>().c_str(),
                    p["type"].get<std::string>().c_str(), text(p["default"]).c_str(),
                    range.c_str(), p["animatable"].get<bool>() ? "yes" : "no");
    }
}

}  // namespace

int runInfo(const CommonOptions& common, const InfoCommand& command) {
    HostSession session(findModule(standin::PathFromUtf8(common.plugin)));
    const nlohmann::json info = describe(session);
    if (command.json) {
        std::printf("%s\n", info.dump(2).c_str());
        return 0;
    }
    std::printf("file         %s\n", info["file"].get<std::string>().c_str());
    std::printf("version      %s (release %d)\n", info["version"].get<std::string>().c_str(),
                info["release"].get<int>());
    std::printf("description  %s\n", info["description"].get<std::string>().c_str());
    std::printf("class name   %s\n", info["className"].get<std::string>().c_str());
    std::printf("category     %s\n", info["category"].get<std::string>().c_str());
    std::printf("class ID     (%s, %s)\n", info["classID"]["partA"].get<std::string>().c_str(),
                info["classID"]["partB"].get<std::string>().c_str());
    std::printf("super class  %s\n", info["superClass"].get<std::string>().c_str());
    std::string requirements;
    for (const nlohmann::json& name : info["requirements"]) {
        requirements += (requirements.empty() ? "" : ", ") + name.get<std::string>();
    }
    std::printf("requires     %s\n", requirements.empty() ? "-" : requirements.c_str());
    std::printf("output       %s\n\n",
                info["outputMeaningful"].get<bool>() ? "meaningful" : "not meaningful");
    printParameters(info["parameters"]);
    for (const nlohmann::json& map : info["thicknessMaps"]) {
        std::printf("\nthickness map --thickness-map %s (%s), set with --map-set\n",
                    map["kind"].get<std::string>().c_str(),
                    map["className"].get<std::string>().c_str());
        printParameters(map["parameters"]);
    }
    std::printf("\noutput filter (%s), set with --output\n",
                info["outputFilter"]["className"].get<std::string>().c_str());
    printParameters(info["outputFilter"]["parameters"]);
    return 0;
}

void addInfoCommand(CLI::App& app, const CommonOptions& common, int& result) {
    auto info = std::make_shared<InfoCommand>();
    auto* infoApp = app.add_subcommand("info", "Show the module's class and parameters");
    infoApp->add_flag("--json", info->json, "Print one JSON object");
    infoApp->callback([info, &common, &result] { result = runInfo(common, *info); });
}

}  // namespace nacrelle::tools
