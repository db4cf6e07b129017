#include <sys/socket.h>

#include "platform/socket_buffer.h"

namespace quendrel {

bool LimitSendBuffer(std::uintptr_t socket, int bytes) {
    return ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0;
}

}  // namespace quendrel
