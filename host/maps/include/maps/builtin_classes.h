// The classes built into the host: the standard texture output filter and
// the grey maps. They are in the class directory from the moment the host
// library is loaded, before any module, so that scene files can recreate them
// by class ID like any plug-in class.
#pragma once

#include <vector>

#include "plugapi.h"

namespace standin {

/// The descriptors of the built-in classes.
std::vector<ClassDesc*> BuiltinClasses();

/// Registers every built-in class in the class directory (again, should one
/// have been unregistered). Runs at the host's start-up; calling it
/// again is harmless.
void RegisterBuiltinClasses();

/// The module name under which the built-in classes are registered.
inline constexpr const char* kBuiltinModuleName = "(host)";

}  // namespace standin
