#include "tests/plugin/shell_observer.h"

#include <platform/shell.h>

#include <mutex>

namespace nacrelle::testing {

struct ShellObserver::State {
    std::mutex mutex;
    std::vector<std::string> opened;
    std::unique_ptr<standin::ScopedShellHandler> handler;
};

ShellObserver::ShellObserver() : state_(std::make_unique<State>()) {
    State* state = state_.get();
    state_->handler = std::make_unique<standin::ScopedShellHandler>([state](std::string address) {
        const std::lock_guard lock(state->mutex);
        state->opened.push_back(std::move(address));
    });
}

ShellObserver::~ShellObserver() = default;

std::vector<std::string> ShellObserver::Opened(std::size_t /*count*/) {
    const std::lock_guard lock(state_->mutex);
    return state_->opened;
}

}  // namespace nacrelle::testing
