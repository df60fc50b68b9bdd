// File names in the host's text type. Linux allows any bytes in a name, the
// host's strings hold Unicode: a byte that is no part of valid UTF-8 is kept
// as the private-use code point U+10FF00 + byte, which every conversion of
// the host (UTF-8, UTF-16, scene files) carries unchanged, and turned back
// into that byte when the name is used. A name whose UTF-8 itself spells such
// a code point keeps those bytes escaped too, so every name round-trips.
#pragma once

#include <filesystem>
#include <string>

#include "strclass.h"

namespace standin {

/// `path`'s bytes as host text.
MSTR FileNameToHost(const std::filesystem::path& path);
/// The bytes of a name made by FileNameToHost (or typed as text).
std::filesystem::path FileNameFromHost(const MSTR& name);
/// The name as the platform's narrow file functions of the host take it: its
/// bytes on POSIX systems, UTF-8 on Windows.
std::string NarrowFileName(const MSTR& name);

}  // namespace standin
