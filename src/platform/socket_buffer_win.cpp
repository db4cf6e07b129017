#include <winsock2.h>

#include "platform/socket_buffer.h"

namespace quendrel {

bool LimitSendBuffer(std::uintptr_t socket, int bytes) {
    return ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&bytes),
                        sizeof bytes) == 0;
}

}  // namespace quendrel
