#pragma once
#include <string>

namespace quendrel {

// One reading of the local clock.
struct LocalTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class IClock {
public:
    virtual ~IClock() = default;
    virtual LocalTime Now() = 0;
};

// Timestamp digits: YYMMDDhhmm, and ss when `withSeconds`. The year is the
// four-digit year's text from its third character on.
std::string TimestampDigits(const LocalTime& t, bool withSeconds);

}  // namespace quendrel
