#pragma once

namespace quendrel {

class IBeeper {
public:
    virtual ~IBeeper() = default;
    // The system's default alert sound.
    virtual void Beep() = 0;
};

}  // namespace quendrel
