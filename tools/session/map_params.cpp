#include "tools/session/map_params.h"

#include <params/param_access.h>

#include <string>

#include "tools/common/errors.h"

namespace nacrelle::tools {
namespace {

ParamID idOf(IParamBlock2& block, const char* scriptName) {
    const ParamDef* def = standin::FindParamByScriptName(block, scriptName);
    if (def == nullptr) {
        throw Failure(std::string("the module's map has no parameter \"") + scriptName + "\"");
    }
    return def->ID;
}

}  // namespace

MapParamIds FindMapParamIds(IParamBlock2& block) {
    // The block's script names of the two thicknesses are the other way round
    // from its display names; scenes and scripts depend on them.
    return MapParamIds{idOf(block, "thicknessmax"), idOf(block, "thicknessmin"),
                       idOf(block, "nmedium"),      idOf(block, "nfilm"),
                       idOf(block, "ninternal"),    idOf(block, "thicknessmapenabled")};
}

}  // namespace nacrelle::tools
