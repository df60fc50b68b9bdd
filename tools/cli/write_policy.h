// How the program's commands may replace files: `--force` lifts the refusals
// of read-only files, hard links and dangling links, and those refusals say so.
#pragma once

#include <platform/atomic_file.h>

namespace nacrelle::tools {

inline constexpr const char* kForceFlag = "--force";

/// The policy of a command with a --force flag set to `force`.
inline standin::WritePolicy commandWritePolicy(bool force) { return {force, {}, kForceFlag}; }

}  // namespace nacrelle::tools
