// POSIX systems refuse a second listener on a port unless both ask for
// SO_REUSEPORT, which is never set here. SO_REUSEADDR only lets a restarted
// server take its port back while the last run's connections linger.
#include <sys/socket.h>

#include <cerrno>

#include "platform/exclusive_port.h"

namespace standin {

int MakePortExclusive(std::uintptr_t socket) {
    const int on = 1;
    return setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0
               ? 0
               : errno;
}

}  // namespace standin
