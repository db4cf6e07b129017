#include "makereg/pc_registry.h"

namespace quendrel::makereg {

std::unique_ptr<IRegistry> PcRegistry() { return nullptr; }

}  // namespace quendrel::makereg
