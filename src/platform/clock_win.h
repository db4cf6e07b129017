#pragma once
#include <string>

#include "platform/clock.h"

namespace quendrel {

class Win32Clock final : public IClock {
public:
    LocalTime Now() override;
};

// The system's short date, a blank and its long time; the date alone at
// exactly midnight.
std::string GeneralDateText(const LocalTime& time);

}  // namespace quendrel
