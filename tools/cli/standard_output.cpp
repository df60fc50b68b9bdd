#include "cli/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "common/errors.h"

namespace nacrelle::tools {

int finishStandardOutput(int exitCode) {
    errno = 0;
    std::cout.flush();
    const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || !std::cout;
    // A command that failed has said why in its one line; its output failing
    // too (often the same failure, as with -o - into a closed descriptor) is
    // not a second message.
    if (!failed || exitCode != 0) return exitCode;
    const int code = errno;
    std::fprintf(stderr, "nacrelle: cannot write standard output%s%s\n", code != 0 ? ": " : "",
                 code != 0 ? std::strerror(code) : "");
    return kExitFailure;
}

}  // namespace nacrelle::tools
