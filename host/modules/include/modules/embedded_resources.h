// How a module built for the stand-in host carries its compiled resources.
// On Windows the system finds a module's resources in its resource section;
// here the build embeds the module's .res image (see cmake/HostModule.cmake)
// and the module exports one function, by undecorated name, that returns it.
// It is the only export of a module besides DllMain and the Lib* functions.
#pragma once

#include <cstddef>

namespace standin {

/// Name under which the loader looks the function up.
inline constexpr const char* kResourceImageSymbol = "StandInResourceImage";

/// Returns the first byte of the module's .res image and stores its size in
/// `*size` (when `size` is not null). The image lives as long as the module.
using ResourceImageFunction = const unsigned char* (*)(std::size_t* size);

}  // namespace standin

extern "C" const unsigned char* StandInResourceImage(std::size_t* size);
