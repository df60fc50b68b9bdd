#include "app/document/scene_lock.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "common/errors.h"

namespace nacrelle::tools {

namespace {

std::string quoted(const std::filesystem::path& path) { return "\"" + path.string() + "\""; }

}  // namespace

SceneLock::SceneLock(const std::filesystem::path& path, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        std::string error;
        switch (lock_.TryLock(path, error)) {
            case standin::LockAttempt::Locked:
                return;
            case standin::LockAttempt::Failed:
                throw Failure("cannot lock the scene " + quoted(path) + ": " + error);
            case standin::LockAttempt::Replaced:
                continue;  // a save replaced it: lock the new file
            case standin::LockAttempt::Busy:
                break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g", wait.count() / 1000.0);
            throw Failure("the scene " + quoted(path) + " is being changed by another " +
                          "program, which still holds it after " + seconds + " s; try " +
                          "again later ($NACRELLE_LOCK_WAIT sets the wait in seconds)");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::chrono::milliseconds sceneLockWait() {
    constexpr std::chrono::milliseconds kDefault{10000};
    const char* text = std::getenv("NACRELLE_LOCK_WAIT");
    if (text == nullptr || *text == '\0') return kDefault;
    char* end = nullptr;
    const double seconds = std::strtod(text, &end);
    if (*end != '\0' || !(seconds >= 0.0 && seconds <= 86400.0)) {
        throw BadValue("$NACRELLE_LOCK_WAIT \"" + std::string(text) +
                         "\" is not a number of seconds between 0 and 86400");
    }
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0));
}

}  // namespace nacrelle::tools
