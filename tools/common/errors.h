// The program's errors, typed by what went wrong, never by how a face shows
// it: the command line maps them to its exit codes (2 for a bad value, 1 for
// the rest), the studio to HTTP statuses.
#pragma once

#include <stdexcept>
#include <utility>
#include <string>

namespace nacrelle::tools {

/// A value (or a command line) that is wrong: malformed, unknown, out of range.
class BadValue : public std::runtime_error {
public:
    explicit BadValue(const std::string& message) : std::runtime_error(message) {}
};

/// Work that could not be done: a file that cannot be read or written, a
/// module that does not load.
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message) : std::runtime_error(message) {}
};

/// Something asked for by name or number that does not exist.
class NotFound : public Failure {
public:
    using Failure::Failure;
};

/// Something not allowed whatever the state: a file outside the folder given.
class Refused : public Failure {
public:
    using Failure::Failure;
};

/// Something the state does not allow now. `kind` names a conflict the user
/// has ways out of: "changed" (the file changed on disk since it was read),
/// "deleted" (it was deleted meanwhile), "exists" (a new name names a scene
/// already), "stale" (the edit was meant for an older state); "" for others.
class Conflict : public Failure {
public:
    explicit Conflict(const std::string& message, std::string kind = {})
        : Failure(message), kind_(std::move(kind)) {}
    const std::string& kind() const { return kind_; }

private:
    std::string kind_;
};

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

}  // namespace nacrelle::tools
