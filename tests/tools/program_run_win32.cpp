// Runs the program with CreateProcessW, its output through anonymous pipes.
// The arguments are UTF-8 here and reach the program as one UTF-16 command
// line, quoted so that its C runtime splits it back into the same arguments.
#include "program_run.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <stdexcept>
#include <thread>

#include "platform/utf16.h"

namespace nacrelle::tools::testing {

namespace {

std::wstring wide(std::string_view utf8) { return standin::Utf16ToWide(standin::Utf8ToUtf16(utf8)); }

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + " (error " + std::to_string(::GetLastError()) + ")");
}

/// Closes a handle however the run ends.
struct Handle {
    HANDLE h = nullptr;
    ~Handle() { reset(); }
    void reset() {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
        h = nullptr;
    }
};

/// One argument as the C runtime's command-line parser reads it back:
/// backslashes are literal except before a quote, where they are doubled.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
    if (!line.empty()) line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

bool sameName(std::wstring_view entry, const std::wstring& prefix) {
    if (entry.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::towupper(entry[i]) != std::towupper(prefix[i])) return false;
    }
    return true;
}

/// The test's environment with the changes applied (names compared without
/// case, as Windows does), as a block of NUL-ended entries.
std::wstring childEnvironment(const std::vector<EnvironmentChange>& changes) {
    std::vector<std::wstring> entries;
    if (wchar_t* block = ::GetEnvironmentStringsW()) {
        for (const wchar_t* e = block; *e != L'\0'; e += std::wcslen(e) + 1) entries.emplace_back(e);
        ::FreeEnvironmentStringsW(block);
    }
    for (const EnvironmentChange& change : changes) {
        const std::wstring prefix = wide(change.name) + L"=";
        std::erase_if(entries, [&](const std::wstring& e) { return sameName(e, prefix); });
        if (change.value) entries.push_back(prefix + wide(*change.value));
    }
    std::wstring block;
    for (const std::wstring& e : entries) {
        block += e;
        block += L'\0';
    }
    block += L'\0';
    return block;
}

/// Reads a pipe to its end.
void drain(HANDLE pipe, std::string& sink) {
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) sink.append(buffer, got);
}

}  // namespace

RunResult runProgram(const std::filesystem::path& program,
                     const std::vector<std::string>& arguments,
                     const std::filesystem::path& directory,
                     const std::vector<EnvironmentChange>& environment) {
    // Only the child's ends are inherited.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle outRead, outWrite, errRead, errWrite, input;
    if (!::CreatePipe(&outRead.h, &outWrite.h, &inherit, 0) ||
        !::CreatePipe(&errRead.h, &errWrite.h, &inherit, 0) ||
        !::SetHandleInformation(outRead.h, HANDLE_FLAG_INHERIT, 0) ||
        !::SetHandleInformation(errRead.h, HANDLE_FLAG_INHERIT, 0)) {
        throw systemError("cannot create the pipes");
    }
    input.h = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, nullptr);
    if (input.h == INVALID_HANDLE_VALUE) throw systemError("cannot open NUL");

    std::wstring commandLine;
    appendQuoted(commandLine, program.wstring());
    for (const std::string& argument : arguments) appendQuoted(commandLine, wide(argument));
    std::wstring environmentBlock = childEnvironment(environment);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.h;
    startup.hStdOutput = outWrite.h;
    startup.hStdError = errWrite.h;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.wstring().c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW,
                          environmentBlock.data(), directory.wstring().c_str(), &startup,
                          &process)) {
        throw systemError("cannot start " + program.string());
    }
    Handle processHandle{process.hProcess}, thread{process.hThread};
    // The reads end when the child, the only holder of the write ends, ends.
    outWrite.reset();
    errWrite.reset();
    input.reset();

    RunResult result;
    std::thread errReader([&] { drain(errRead.h, result.err); });
    drain(outRead.h, result.out);
    errReader.join();
    ::WaitForSingleObject(processHandle.h, INFINITE);
    DWORD code = 0;
    if (!::GetExitCodeProcess(processHandle.h, &code)) throw systemError("GetExitCodeProcess");
    result.exitCode = static_cast<int>(code);
    return result;
}

}  // namespace nacrelle::tools::testing
