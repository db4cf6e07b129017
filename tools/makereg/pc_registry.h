#pragma once
#include <memory>

#include "platform/registry.h"

namespace quendrel::makereg {

// This PC's registry; null where there is none (makereg built for Linux).
std::unique_ptr<IRegistry> PcRegistry();

}  // namespace quendrel::makereg
