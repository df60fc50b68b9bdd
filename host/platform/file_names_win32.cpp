// File names in the host's text type on Windows: names are UTF-16 already,
// as the host's strings are, so they pass through unchanged.
#include "platform/file_names.h"
#include "platform/utf16.h"

namespace standin {

std::wstring FileNameToWide(const std::filesystem::path& path) { return path.wstring(); }

std::filesystem::path FileNameFromWide(std::wstring_view name) {
    return std::filesystem::path(std::wstring(name));
}

std::string NarrowFileName(std::wstring_view name) { return WideToUtf8(name); }

}  // namespace standin
