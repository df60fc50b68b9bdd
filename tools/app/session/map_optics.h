// The map's physical-optics options as the program reads them: by script
// name from the module's own block, so that a module without them reads as
// the three-wavelength model.
#pragma once

#include <iparamb2.h>

#include <string>

#include "core/physical_colour.h"

namespace nacrelle::tools {

/// The options of `block` at time t; all off where the module has none.
OpticsOptions readOptics(IParamBlock2& block, TimeValue t);

/// The options in words, e.g. "three wavelengths, half-wave phases" or
/// "spectral, exact phases, Titanium base"; the base is named by the
/// module's own drop-down text.
std::string opticsText(IParamBlock2& block, const OpticsOptions& options);

}  // namespace nacrelle::tools
