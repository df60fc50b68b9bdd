// A bounded record of descriptor and module lifecycle events.
#include "sdk/lifecycle_log.h"

#include <deque>
#include <mutex>

namespace standin {
namespace {

// Never destroyed: descriptors of modules still loaded at process exit record
// their destruction after the host's own statics may be gone.
struct Log {
    std::mutex mutex;
    std::deque<std::string> entries;
};

Log& log() {
    static Log* instance = new Log;
    return *instance;
}

}  // namespace

void LifecycleLog::Record(const std::string& event) {
    Log& l = log();
    std::lock_guard<std::mutex> lock(l.mutex);
    if (l.entries.size() == LifecycleLog::kCapacity) l.entries.pop_front();
    l.entries.push_back(event);
}

std::vector<std::string> LifecycleLog::Entries() {
    Log& l = log();
    std::lock_guard<std::mutex> lock(l.mutex);
    return {l.entries.begin(), l.entries.end()};
}

void LifecycleLog::Clear() {
    Log& l = log();
    std::lock_guard<std::mutex> lock(l.mutex);
    l.entries.clear();
}

}  // namespace standin
