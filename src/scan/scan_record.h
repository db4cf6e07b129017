#pragma once
#include <cstddef>
#include <optional>
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

// The location code a record line carries between its VIN and its
// timestamp; empty for a line of another layout.
std::optional<std::string> RecordLocation(const std::string& line);

// Pending records (the bytes of savedata.dat) of a location other than
// `locationCode`: how many, and the first one's code. A location's settings
// changed while scans were pending; none of them may leave under this
// location's name.
struct OtherLocationRecords {
    std::size_t count = 0;
    std::string locationCode;
};
OtherLocationRecords RecordsOfOtherLocations(const std::string& records, const std::string& locationCode);
// What the operator and the IT person are told of them.
std::string OtherLocationMessage(const OtherLocationRecords& other, const std::string& locationCode);

}  // namespace quendrel
