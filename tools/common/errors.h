// The two kinds of error the program reports: a usage error (the command line
// is wrong; exit code 2) and a failure (the work could not be done; exit 1).
#pragma once

#include <stdexcept>
#include <string>

namespace nacrelle::tools {

class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message) : std::runtime_error(message) {}
};

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

}  // namespace nacrelle::tools
