// A listening socket that no other process can share: two servers on one
// port would split the connections between them.
#pragma once

#include <cstdint>

namespace standin {

/// Call between opening `socket` (the system's handle) and binding it.
/// Returns 0, or the system's error code.
int MakePortExclusive(std::uintptr_t socket);

}  // namespace standin
