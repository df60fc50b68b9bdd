// What the Windows shim and the host's string reads need from the table of
// live instance handles beyond the public queries of modules/instance.h.
#pragma once

#include "win_shim.h"

namespace standin::detail {

/// Records a DisableThreadLibraryCalls call; false for an unknown handle.
bool MarkThreadLibraryCallsDisabled(HINSTANCE instance);

/// String `id` of a live instance's parsed resources, copied as LoadStringW
/// copies it: at most `capacity - 1` characters and a terminating null.
/// Returns the characters copied; 0 for an unknown handle or string.
int CopyParsedString(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity);

}  // namespace standin::detail
