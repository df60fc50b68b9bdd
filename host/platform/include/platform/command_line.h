// A program's command-line arguments in UTF-8 on every platform.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

/// The arguments of the running program, argv[0] first, in UTF-8. Where the
/// system hands narrow arguments over in a legacy code page (Windows), they
/// are read again from the system's UTF-16 command line; elsewhere they are
/// argv as given.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

/// The path named by UTF-8 `text`. (A path made from a plain std::string
/// reads it in the system's narrow encoding, a legacy code page on Windows.)
inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

/// The value of the environment variable `name` in UTF-8 (read from the
/// system's UTF-16 environment on Windows, whose narrow one is in a legacy
/// code page), or nothing when it is not set.
std::optional<std::string> EnvironmentVariable(const char* name);

/// The UTF-8 text of `path`, as PathFromUtf8 reads it back.
inline std::string PathToUtf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

/// The file of the running program, or an empty path when unknown.
std::filesystem::path RunningProgram();

}  // namespace standin
