#include "makereg/pc_registry.h"
#include "platform/registry_win.h"

namespace quendrel::makereg {

std::unique_ptr<IRegistry> PcRegistry() { return std::make_unique<Win32Registry>(); }

}  // namespace quendrel::makereg
