#include "tools/cli/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "tools/common/errors.h"

namespace nacrelle::tools {

int finishStandardOutput(int exitCode) {
    errno = 0;
    std::cout.flush();
    const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || !std::cout;
    if (!failed) return exitCode;
    const int code = errno;
    std::fprintf(stderr, "nacrelle: cannot write standard output%s%s\n", code != 0 ? ": " : "",
                 code != 0 ? std::strerror(code) : "");
    return exitCode == 0 ? kExitFailure : exitCode;
}

}  // namespace nacrelle::tools
