#include "platform/clock.h"

namespace quendrel {

namespace {
std::string TwoDigits(int n) {
    std::string s = std::to_string(n);
    return s.size() == 1 ? "0" + s : s;
}
}  // namespace

std::string TimestampDigits(const LocalTime& t, bool withSeconds) {
    const std::string year = std::to_string(t.year);
    std::string digits = (year.size() > 2 ? year.substr(2) : std::string()) + TwoDigits(t.month) +
                         TwoDigits(t.day) + TwoDigits(t.hour) + TwoDigits(t.minute);
    if (withSeconds) digits += TwoDigits(t.second);
    return digits;
}

}  // namespace quendrel
