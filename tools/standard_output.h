// Standard output that fails is reported, not ignored: a full disk or a closed
// descriptor turn a successful command into exit code 1. (A reader that went
// away, as `head` does, ends the program by SIGPIPE, as usual.)
#pragma once

namespace nacrelle::tools {

/// Call first: a closed standard output or error is opened read-only on
/// /dev/null, so that writes to it fail (and are reported) instead of landing
/// in the next file the program opens, which would get descriptor 1 or 2.
void guardStandardStreams();

/// Call last with the command's exit code: flushes standard output and
/// returns the exit code, or 1 with a message on standard error when any of
/// the output could not be written.
int finishStandardOutput(int exitCode);

}  // namespace nacrelle::tools
