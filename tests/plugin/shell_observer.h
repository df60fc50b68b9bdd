// Watches the addresses that the plug-in asks the shell to open, without
// opening any. Elsewhere the stand-in's ShellExecuteW hands them to a handler.
// On Windows the plug-in calls the system's ShellExecuteW; there the test's
// Wine prefix registers a small recording program as the handler of http and
// https addresses (in place of the browser), and the observer reads what it
// recorded: the real call, observed at the far end.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace nacrelle::testing {

class ShellObserver {
public:
    ShellObserver();
    ~ShellObserver();
    ShellObserver(const ShellObserver&) = delete;
    ShellObserver& operator=(const ShellObserver&) = delete;

    /// The addresses opened so far, in order. Where opening is asynchronous
    /// (Windows), waits until at least `count` have arrived (or 30 seconds
    /// passed) and a moment longer for any that should not have.
    std::vector<std::string> Opened(std::size_t count = 0);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace nacrelle::testing
