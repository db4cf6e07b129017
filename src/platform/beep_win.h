#pragma once
#include "platform/beep.h"

namespace quendrel {

class Win32Beeper final : public IBeeper {
public:
    void Beep() override;
};

}  // namespace quendrel
