// An append-only record of host lifecycle events (descriptor destruction and
// the like), so that tests and tools can observe their order.
#pragma once

#include <string>
#include <vector>

namespace standin {

class LifecycleLog {
public:
    /// Appends one event, e.g. "ClassDesc2 destroyed: Nacrelle".
    static void Record(const std::string& event);
    /// Every event since the last Clear, oldest first.
    static std::vector<std::string> Entries();
    static void Clear();
};

}  // namespace standin
