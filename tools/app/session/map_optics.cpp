#include "app/session/map_optics.h"

#include <params/param_access.h>

#include <strclass.h>

namespace nacrelle::tools {
namespace {

int intOrZero(IParamBlock2& block, const char* scriptName, TimeValue t) {
    const ParamDef* def = standin::FindParamByScriptName(block, scriptName);
    return def != nullptr ? block.GetInt(def->ID, t) : 0;
}

// The drop-down's text for the base, from the module's string table.
std::string baseName(IParamBlock2& block, int base) {
    const ParamDef* def = standin::FindParamByScriptName(block, "basemetal");
    ClassDesc2* cd = block.GetDesc() != nullptr ? block.GetDesc()->cd : nullptr;
    if (def != nullptr && cd != nullptr && base >= 0 &&
        base < static_cast<int>(def->list_items.size())) {
        if (const MCHAR* text = cd->GetRsrcString(def->list_items[base]); text != nullptr) {
            return WStr(text).ToUTF8();
        }
    }
    return "base " + std::to_string(base);
}

}  // namespace

OpticsOptions readOptics(IParamBlock2& block, TimeValue t) {
    OpticsOptions options;
    options.spectral = intOrZero(block, "spectral", t) != 0;
    options.physicalPhase = intOrZero(block, "physicalphase", t) != 0;
    options.baseMetal = intOrZero(block, "basemetal", t);
    return options;
}

std::string opticsText(IParamBlock2& block, const OpticsOptions& options) {
    std::string text = options.spectral ? "spectral" : "three wavelengths";
    text += options.exactPhases() ? ", exact phases" : ", half-wave phases";
    if (options.baseMetal != kBaseDielectric) text += ", " + baseName(block, options.baseMetal) + " base";
    return text;
}

}  // namespace nacrelle::tools
