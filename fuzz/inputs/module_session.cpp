#include "fuzz/inputs/module_session.h"

#include <memory>
#include <stdexcept>

#include "fuzz/inputs/input_checks.h"

namespace nacrelle::fuzzing {
namespace {

// Lives until the process ends: every input is checked against the same
// loaded module, as the host keeps its plug-ins loaded for a whole session.
std::unique_ptr<tools::HostSession>& Session() {
    static std::unique_ptr<tools::HostSession> session;
    return session;
}

}  // namespace

void UseModule(const std::filesystem::path& module) {
    if (!Session()) Session() = std::make_unique<tools::HostSession>(module);
}

tools::HostSession& ModuleSession() {
    if (!Session()) throw std::logic_error("no plug-in module loaded: call UseModule first");
    return *Session();
}

}  // namespace nacrelle::fuzzing
