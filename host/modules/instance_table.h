// What the Windows shim needs from the table of live instance handles beyond
// the public queries of modules/instance.h.
#pragma once

#include "win_shim.h"

namespace standin::detail {

/// Records a DisableThreadLibraryCalls call; false for an unknown handle.
bool MarkThreadLibraryCallsDisabled(HINSTANCE instance);

}  // namespace standin::detail
