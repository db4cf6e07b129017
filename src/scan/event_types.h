#pragma once
#include <array>
#include <string>

namespace quendrel {

// The event list, in the order the operator sees it. The event code is the
// first three characters of an item.
inline constexpr std::array<const char*, 10> kEventTypes = {
    "510 Vehicle Received",
    "515 Return to Plant",
    "520 Modification Begins",
    "530 Modification Complete",
    "540 Vehicle Reassigned from Pool",
    "550 Invoice Packet Received",
    "560 Final Inspection Complete",
    "570 Released to Carrier",
    "575 Customer Pickup & Drive Away",
    "580 Physical Inventory (Hands On)",
};

std::string EventCode(const std::string& itemText);
// Only event 550 needs a route and a dealer besides the VIN.
bool NeedsRouteAndDealer(const std::string& itemText);

}  // namespace quendrel
