// Opening a shared library file and finding its symbols, with a plain-words
// reason when the file is no library this process can load. The module loader
// is written against this; the platform's loader calls live behind it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace standin::detail {

/// Why a file could not be opened as a library (without the file's name).
class LibraryOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class DynamicLibrary {
public:
    /// Opens `file`, binding every symbol now and keeping its symbols out of
    /// the global scope. Throws LibraryOpenError for a missing file, a
    /// directory, an empty file, a file that is no shared library, one built
    /// for another architecture, and anything the system loader refuses.
    static DynamicLibrary Open(const std::filesystem::path& file);

    DynamicLibrary() = default;
    ~DynamicLibrary() { Close(); }
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    /// Address of the exported symbol `name`, or null.
    void* Symbol(const char* name) const;
    /// The module's resources as a .res image, when the system keeps them in
    /// the module itself (a Windows DLL's resource section); nothing where
    /// the module carries its own image (see modules/embedded_resources.h).
    /// Throws LibraryOpenError when the resource section cannot be read.
    std::optional<std::vector<std::uint8_t>> ResourceSection() const;
    /// The system's handle: equal for two opens of the same library.
    const void* NativeHandle() const { return handle_; }
    bool IsOpen() const { return handle_ != nullptr; }
    /// Closes the library (its static destructors run if this was the last
    /// reference); harmless when closed.
    void Close() noexcept;

    /// True where the system loader itself calls a module's DllMain (on
    /// attach in Open, on detach in Close); the host then must not.
    static bool SystemCallsDllMain();

private:
    explicit DynamicLibrary(void* handle) : handle_(handle) {}

    void* handle_ = nullptr;
};

}  // namespace standin::detail
