// The desktop on Windows: ShellExecuteW for pages, binary standard output.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <csignal>
#include <cstdint>
#include <cstdio>

#include "platform/desktop.h"
#include "platform/utf16.h"

namespace standin {

std::string OpenInBrowser(const std::string& address) {
    const std::wstring wide = Utf16ToWide(Utf8ToUtf16(address));
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    // Any result above 32 means success.
    const auto code = reinterpret_cast<std::intptr_t>(result);
    return code > 32 ? "" : "ShellExecuteW failed with code " + std::to_string(code);
}

// A closed standard stream on Windows has no descriptor that a later file
// could take over: writes to it fail and are reported as they are.
void GuardStandardStreams() {}

std::vector<int> StopSignals() { return {SIGINT, SIGTERM, SIGBREAK}; }

void MakeStandardOutputBinary() {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace standin
