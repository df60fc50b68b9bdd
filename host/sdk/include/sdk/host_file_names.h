// File names in the host's text type (see platform/file_names.h for how a
// name's bytes become text).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/file_names.h"
#include "strclass.h"

namespace standin {

/// The text of `text` (empty for a null string), without copying it.
inline std::wstring_view HostTextOf(const MSTR& text) {
    return text.data() ? std::wstring_view(text.data()) : std::wstring_view();
}

/// `path`'s bytes as host text.
inline MSTR FileNameToHost(const std::filesystem::path& path) {
    return MSTR(FileNameToWide(path).c_str());
}
/// The bytes of a name made by FileNameToHost (or typed as text).
inline std::filesystem::path FileNameFromHost(const MSTR& name) {
    return FileNameFromWide(HostTextOf(name));
}
/// The name as the platform's narrow file functions take it.
inline std::string NarrowFileName(const MSTR& name) {
    return standin::NarrowFileName(HostTextOf(name));
}

}  // namespace standin
