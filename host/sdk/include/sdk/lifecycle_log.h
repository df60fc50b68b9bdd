// A record of host lifecycle events (descriptor destruction and the like), so
// that tests and tools can observe their order. It keeps the latest
// kCapacity events, so that a host that loads and unloads modules for days
// does not grow without end.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace standin {

class LifecycleLog {
public:
    static constexpr std::size_t kCapacity = 4096;

    /// Appends one event, e.g. "ClassDesc2 destroyed: Nacrelle", dropping the
    /// oldest one when the log is full.
    static void Record(const std::string& event);
    /// The events since the last Clear (the latest kCapacity), oldest first.
    static std::vector<std::string> Entries();
    static void Clear();
};

}  // namespace standin
