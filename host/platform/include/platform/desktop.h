// What the host asks of the desktop it runs on: opening a page in the user's
// browser, and standard streams that fail loudly instead of silently.
#pragma once

#include <string>
#include <vector>

namespace standin {

/// Opens `address` in the user's browser: xdg-open on POSIX systems,
/// ShellExecuteW on Windows. "" when it did, else why not. An opener still
/// running after a few seconds (one that waits for the browser) counts as
/// having opened the page.
std::string OpenInBrowser(const std::string& address);

/// Call first thing in a program: a closed standard output or error is
/// opened read-only on the null device, so that writes to it fail (and are
/// reported) instead of landing in the next file the program opens.
void GuardStandardStreams();

/// The signals by which a user or the system asks a program to end, that it
/// can catch: Ctrl-C and SIGTERM everywhere; on POSIX systems also a closed
/// terminal (SIGHUP) and Ctrl+Backslash (SIGQUIT); on Windows Ctrl-Break.
std::vector<int> StopSignals();

/// Makes standard output carry bytes as they are (no newline translation on
/// Windows), for binary data such as a PNG written to it.
void MakeStandardOutputBinary();

}  // namespace standin
