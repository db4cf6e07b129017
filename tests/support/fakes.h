#pragma once
#include "platform/beep.h"
#include "platform/clock.h"

namespace quendrel::testing {

// A clock that reads whatever the test set.
class FixedClock final : public IClock {
public:
    explicit FixedClock(LocalTime t = {2001, 11, 8, 9, 5, 7}) : time(t) {}
    LocalTime Now() override { return time; }
    LocalTime time;
};

class CountingBeeper final : public IBeeper {
public:
    void Beep() override { ++count; }
    int count = 0;
};

}  // namespace quendrel::testing
