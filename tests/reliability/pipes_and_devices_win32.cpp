#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "tests/reliability/pipes_and_devices.h"

namespace nacrelle::reliability {

std::string EndlessDevice() { return "NUL"; }

IdlePipe::IdlePipe(const std::filesystem::path& wanted) {
    static std::atomic<int> counter{0};
    name_ = "\\\\.\\pipe\\nacrelle-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(counter++) + "-";
    const std::size_t length = wanted.wstring().size();
    if (name_.size() < length) name_.append(length - name_.size(), 'x');
    const std::wstring wide(name_.begin(), name_.end());
    handle_ = CreateNamedPipeW(wide.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                               4096, 4096, 0, nullptr);
    EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << name_ << ": error " << GetLastError();
}

IdlePipe::~IdlePipe() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

void IdlePipe::ReleaseReader() {
    // A reader blocked on the pipe sees it broken.
    if (handle_ != INVALID_HANDLE_VALUE) DisconnectNamedPipe(handle_);
}

}  // namespace nacrelle::reliability
