#include "platform/shell.h"

#include <mutex>
#include <utility>

namespace standin {
namespace {

struct ShellState {
    std::mutex mutex;
    ShellOpenHandler handler;
};

ShellState& State() {
    static ShellState state;
    return state;
}

ShellOpenHandler Exchange(ShellOpenHandler handler) {
    ShellState& state = State();
    const std::lock_guard lock(state.mutex);
    return std::exchange(state.handler, std::move(handler));
}

}  // namespace

void InstallShellHandler(ShellOpenHandler handler) { Exchange(std::move(handler)); }

void RemoveShellHandler() { Exchange(nullptr); }

ShellOpenHandler CurrentShellHandler() {
    ShellState& state = State();
    const std::lock_guard lock(state.mutex);
    return state.handler;
}

bool DispatchShellOpen(const std::string& address) {
    ShellOpenHandler handler;
    {
        ShellState& state = State();
        const std::lock_guard lock(state.mutex);
        handler = state.handler;
    }
    if (!handler) return false;
    handler(address);
    return true;
}

ScopedShellHandler::ScopedShellHandler(ShellOpenHandler handler)
    : previous_(Exchange(std::move(handler))) {}

ScopedShellHandler::~ScopedShellHandler() { Exchange(std::move(previous_)); }

}  // namespace standin
