// Windows lets a later socket with SO_REUSEADDR take over a bound port;
// SO_EXCLUSIVEADDRUSE forbids that.
#include <winsock2.h>

#include "platform/exclusive_port.h"

namespace standin {

int MakePortExclusive(std::uintptr_t socket) {
    const BOOL on = TRUE;
    return setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                      reinterpret_cast<const char*>(&on), sizeof on) == 0
               ? 0
               : WSAGetLastError();
}

}  // namespace standin
