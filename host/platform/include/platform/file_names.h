// File names as host text (wide strings). Linux allows any bytes in a name, the
// host's strings hold Unicode: a byte that is no part of valid UTF-8 is kept
// as the private-use code point U+10FF00 + byte, which every conversion of
// the host (UTF-8, UTF-16, scene files) carries unchanged, and turned back
// into that byte when the name is used. A name whose UTF-8 itself spells such
// a code point keeps those bytes escaped too, so every name round-trips.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace standin {

/// `path`'s bytes as host text.
std::wstring FileNameToWide(const std::filesystem::path& path);
/// The bytes of a name made by FileNameToWide (or typed as text).
std::filesystem::path FileNameFromWide(std::wstring_view name);
/// The name as the platform's narrow file functions of the host take it: its
/// bytes on POSIX systems, UTF-8 on Windows.
std::string NarrowFileName(std::wstring_view name);

}  // namespace standin
