#pragma once
#include "platform/registry.h"

namespace quendrel {

// The registry through advapi32.
class Win32Registry final : public IRegistry {
public:
    std::optional<RegValue> TryGetValue(const std::string& subkey, const std::string& name, RegView view,
                                        RegAccess access) override;
};

}  // namespace quendrel
