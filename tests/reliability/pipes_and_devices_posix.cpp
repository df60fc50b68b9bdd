#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/reliability/pipes_and_devices.h"

namespace nacrelle::reliability {

std::string EndlessDevice() { return "/dev/zero"; }

IdlePipe::IdlePipe(const std::filesystem::path& wanted) : name_(wanted.string()) {
    std::filesystem::remove(wanted);
    EXPECT_EQ(::mkfifo(name_.c_str(), 0600), 0) << name_;
}

IdlePipe::~IdlePipe() { ::unlink(name_.c_str()); }

void IdlePipe::ReleaseReader() {
    const int writer = ::open(name_.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
}

}  // namespace nacrelle::reliability
