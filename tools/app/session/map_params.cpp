#include "app/session/map_params.h"

#include <params/param_access.h>

#include <string>

#include "app/session/thickness_rows.h"
#include "common/errors.h"

namespace nacrelle::tools {
namespace {

ParamID idOf(IParamBlock2& block, std::string_view scriptName) {
    const ParamDef* def = standin::FindParamByScriptName(block, scriptName);
    if (def == nullptr) {
        throw Failure("the module's map has no parameter \"" + std::string(scriptName) + "\"");
    }
    return def->ID;
}

}  // namespace

MapParamIds FindMapParamIds(IParamBlock2& block) {
    return MapParamIds{idOf(block, kMinRowScriptName), idOf(block, kMaxRowScriptName),
                       idOf(block, "nmedium"),      idOf(block, "nfilm"),
                       idOf(block, "ninternal"),    idOf(block, "thicknessmapenabled")};
}

}  // namespace nacrelle::tools
