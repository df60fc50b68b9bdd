// The parameters of the loaded map that the chart and the terms report set or
// read themselves, found by script name in the module's own block, so that the
// program works with any build of the module that keeps those names.
#pragma once

#include <iparamb2.h>

namespace nacrelle::tools {

struct MapParamIds {
    ParamID thicknessMin;  ///< the thickness at map value 0 (the "Min:" row)
    ParamID thicknessMax;  ///< the thickness at map value 1 (the "Max:" row)
    ParamID nMedium;
    ParamID nFilm;
    ParamID nInternal;
    ParamID thicknessMapEnabled;
};

/// The IDs in `block`; throws Failure naming a script name the block lacks.
MapParamIds FindMapParamIds(IParamBlock2& block);

}  // namespace nacrelle::tools
