// Standard output that fails is reported, not ignored: a full disk or a closed
// descriptor turn a successful command into exit code 1. (A reader that went
// away, as `head` does, ends the program by SIGPIPE, as usual.) The program
// calls standin::GuardStandardStreams first, so that a closed descriptor is
// not taken over by a file it opens.
#pragma once

namespace nacrelle::tools {

/// Call last with the command's exit code: flushes standard output and
/// returns the exit code; when that is 0 but any of the output could not be
/// written, returns 1 with a message on standard error. A failed command has
/// reported its failure already: one failure, one line.
int finishStandardOutput(int exitCode);

}  // namespace nacrelle::tools
