// Files that are no files, made for the tests in a way the platform allows:
// a device that never ends, and a pipe with nobody writing to it.
#pragma once

#include <filesystem>
#include <string>

namespace nacrelle::reliability {

/// A device that reads without end ("/dev/zero"; "NUL" on Windows).
std::string EndlessDevice();

/// A pipe that nobody writes to, as long as the object lives. On POSIX
/// systems it is a FIFO at `wanted`; Windows keeps pipes in a namespace of
/// their own, so there it is a named pipe whose name has as many characters
/// as `wanted` (a saved name can be replaced by it in place).
class IdlePipe {
public:
    explicit IdlePipe(const std::filesystem::path& wanted);
    ~IdlePipe();
    IdlePipe(const IdlePipe&) = delete;
    IdlePipe& operator=(const IdlePipe&) = delete;

    const std::string& Name() const { return name_; }
    /// Releases a reader blocked on the pipe, as a writer that comes and goes.
    void ReleaseReader();

private:
    std::string name_;
    void* handle_ = nullptr;  // the pipe's server end, on Windows
};

}  // namespace nacrelle::reliability
