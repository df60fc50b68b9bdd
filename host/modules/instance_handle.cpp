// What an instance handle's owner does alike on every platform: releasing it
// once, and handing it on.
#include <utility>

#include "modules/instance.h"

namespace standin {

InstanceHandle::~InstanceHandle() { Release(); }

InstanceHandle::InstanceHandle(InstanceHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

InstanceHandle& InstanceHandle::operator=(InstanceHandle&& other) noexcept {
    if (this != &other) {
        Release();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

}  // namespace standin
