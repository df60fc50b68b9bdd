// File names in the host's text type on Windows: names are UTF-16 already,
// as the host's strings are, so they pass through unchanged.
#include "standin/file_names.h"
#include "standin/utf16.h"

namespace standin {

MSTR FileNameToHost(const std::filesystem::path& path) { return MSTR(path.wstring().c_str()); }

std::filesystem::path FileNameFromHost(const MSTR& name) {
    return std::filesystem::path(std::wstring(name.data() ? name.data() : L""));
}

std::string NarrowFileName(const MSTR& name) { return WideToUtf8(name.data() ? name.data() : L""); }

}  // namespace standin
