// Where ShellExecuteW's requests go in the stand-in: the host installs a
// handler (the nacrelle program prints the address or opens a browser; tests
// record it). Without a handler, ShellExecuteW opens nothing and reports an
// error.
#pragma once

#include <functional>
#include <string>

namespace standin {

/// Receives the address to open, in UTF-8.
using ShellOpenHandler = std::function<void(std::string address)>;

/// Installs `handler` in place of any earlier one. An empty function removes it.
void InstallShellHandler(ShellOpenHandler handler);

/// Removes the installed handler, if any.
void RemoveShellHandler();

/// The installed handler (empty when none), e.g. to chain to it.
ShellOpenHandler CurrentShellHandler();

/// Hands `address` to the installed handler. Returns false, and records
/// nothing, when none is installed. The handler runs outside the lock, so it
/// may install or remove handlers itself.
bool DispatchShellOpen(const std::string& address);

/// Installs a handler for the lifetime of a scope and then restores the one
/// that was installed before.
class ScopedShellHandler {
public:
    explicit ScopedShellHandler(ShellOpenHandler handler);
    ~ScopedShellHandler();
    ScopedShellHandler(const ScopedShellHandler&) = delete;
    ScopedShellHandler& operator=(const ScopedShellHandler&) = delete;

private:
    ShellOpenHandler previous_;
};

}  // namespace standin
