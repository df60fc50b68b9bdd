// Stands in for the browser in the Windows tests: appends the address it is
// given (UTF-8, one a line) to the file named by NACRELLE_SHELL_RECORD.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    wchar_t record[MAX_PATH];
    if (argc != 2 || GetEnvironmentVariableW(L"NACRELLE_SHELL_RECORD", record, MAX_PATH) == 0) {
        return 2;
    }
    const std::wstring address = argv[1];
    std::string line(static_cast<std::size_t>(WideCharToMultiByte(
                         CP_UTF8, 0, address.data(), static_cast<int>(address.size()), nullptr, 0,
                         nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_UTF8, 0, address.data(), static_cast<int>(address.size()), line.data(),
                        static_cast<int>(line.size()), nullptr, nullptr);
    line += '\n';
    const HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
