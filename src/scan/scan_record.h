#pragma once
#include <string>

#include "platform/clock.h"

namespace quendrel {

inline constexpr const char* kSaveDataFile = "savedata.dat";

struct Scan {
    std::string vin;
    std::string eventText;  // the chosen event's item text
    std::string route;      // as typed; only used for event 550
    std::string dealer;
};

// Route and dealer as they go into the record: typed for event 550, blanks
// otherwise.
std::string RecordRoute(const Scan& scan);
std::string RecordDealer(const Scan& scan);

// One line of savedata.dat, without its CR LF.
std::string FormatScanRecord(const Scan& scan, const std::string& locationCode, const LocalTime& time);
// The three-line entry put at the top of the scan list, each line ending in CR LF.
std::string FormatScanListEntry(const Scan& scan, const std::string& clockText);

}  // namespace quendrel
