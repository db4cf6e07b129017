#pragma once
#include "platform/registry.h"

namespace quendrel {

// The registry through advapi32.
class Win32Registry final : public IRegistry {
public:
    std::unique_ptr<IRegKey> OpenLocalMachineKey(const std::string& subkey, RegView view) override;
};

}  // namespace quendrel
