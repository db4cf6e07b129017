#include "scan/event_types.h"

namespace quendrel {

std::string EventCode(const std::string& itemText) { return itemText.substr(0, 3); }

bool NeedsRouteAndDealer(const std::string& itemText) { return EventCode(itemText) == "550"; }

}  // namespace quendrel
