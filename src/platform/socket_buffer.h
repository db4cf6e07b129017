#pragma once
#include <cstdint>

namespace quendrel {

// Sets the socket's send buffer to `bytes`; false when the system refused.
bool LimitSendBuffer(std::uintptr_t socket, int bytes);

}  // namespace quendrel
