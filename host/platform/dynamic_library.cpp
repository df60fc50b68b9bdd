// The parts of DynamicLibrary that do not depend on the platform's loader.
#include <system_error>
#include <utility>

#include "dynamic_library_file.h"
#include "platform/dynamic_library.h"

namespace standin::detail {

void CheckModuleFileKind(const std::filesystem::path& file) {
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        throw LibraryOpenError("no such file");
    }
    if (error) throw LibraryOpenError("cannot read the file: " + error.message());
    if (std::filesystem::is_directory(status)) {
        throw LibraryOpenError("it is a directory, not a module file");
    }
    if (!std::filesystem::is_regular_file(status)) {
        throw LibraryOpenError("it is not a regular file");
    }
}

bool ReadAt(std::ifstream& in, std::uint64_t offset, std::size_t count,
            std::vector<unsigned char>& out) {
    out.assign(count, 0);
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(count));
    return static_cast<std::size_t>(in.gcount()) == count;
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

}  // namespace standin::detail
