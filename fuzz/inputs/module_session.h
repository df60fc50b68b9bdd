// The one plug-in module the checks load for the whole process.
#pragma once

#include "app/session/host_session.h"

namespace nacrelle::fuzzing {

/// The session holding the module loaded by UseModule; throws std::logic_error
/// when no module was loaded.
tools::HostSession& ModuleSession();

}  // namespace nacrelle::fuzzing
