#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/plugin/shell_observer.h"

namespace nacrelle::testing {
namespace {

std::wstring Widen(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

/// Makes `command` the open command of addresses of `scheme`, for this user.
void RegisterHandler(const wchar_t* scheme, const std::wstring& command) {
    const std::wstring key = std::wstring(L"Software\\Classes\\") + scheme + L"\\shell\\open\\command";
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, REG_SZ, command.c_str(),
                    static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    // Wine reads the classes of the machine; the prefix is the test's own.
    const std::wstring machineKey = std::wstring(scheme) + L"\\shell\\open\\command";
    RegSetKeyValueW(HKEY_CLASSES_ROOT, machineKey.c_str(), nullptr, REG_SZ, command.c_str(),
                    static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

struct ShellObserver::State {
    std::wstring record;
};

ShellObserver::ShellObserver() : state_(std::make_unique<State>()) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    state_->record = std::wstring(folder) + L"nacrelle-shell-" +
                     std::to_wstring(GetCurrentProcessId()) + L".txt";
    DeleteFileW(state_->record.c_str());
    // The recorder appends each address to the file its parent names.
    SetEnvironmentVariableW(L"NACRELLE_SHELL_RECORD", state_->record.c_str());
    const std::wstring command = L"\"" + Widen(NACRELLE_SHELL_RECORDER) + L"\" \"%1\"";
    RegisterHandler(L"http", command);
    RegisterHandler(L"https", command);
}

ShellObserver::~ShellObserver() {
    SetEnvironmentVariableW(L"NACRELLE_SHELL_RECORD", nullptr);
    DeleteFileW(state_->record.c_str());
}

std::vector<std::string> ShellObserver::Opened(std::size_t count) {
    const auto read = [&] {
        std::vector<std::string> lines;
        std::ifstream in(std::filesystem::path(state_->record));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (read().size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return read();
}

}  // namespace nacrelle::testing
