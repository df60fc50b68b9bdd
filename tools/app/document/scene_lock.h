// An advisory lock on a scene file for the length of a read-modify-write, so
// that concurrent edits apply one after another and none is lost.
#pragma once

#include <platform/file_lock.h>

#include <chrono>
#include <filesystem>

namespace nacrelle::tools {

class SceneLock {
public:
    /// Locks the scene file `path`, waiting at most `wait` for another
    /// editor to finish; a Failure says who holds it when the wait runs out,
    /// or why the file cannot be locked.
    SceneLock(const std::filesystem::path& path, std::chrono::milliseconds wait);
    SceneLock(const SceneLock&) = delete;
    SceneLock& operator=(const SceneLock&) = delete;

private:
    standin::FileLock lock_;
};

/// How long an edit waits for another: $NACRELLE_LOCK_WAIT seconds, else 10.
std::chrono::milliseconds sceneLockWait();

}  // namespace nacrelle::tools
