#include "scan/scan_record.h"

#include <algorithm>
#include <cctype>

#include "product.h"
#include "scan/event_types.h"
#include "scan/scan_fields.h"

namespace quendrel {

std::string RecordRoute(const Scan& scan) {
    return NeedsRouteAndDealer(scan.eventText) ? scan.route : std::string(SpecOf(ScanField::Route).length, ' ');
}

std::string RecordDealer(const Scan& scan) {
    return NeedsRouteAndDealer(scan.eventText) ? scan.dealer : std::string(SpecOf(ScanField::Dealer).length, ' ');
}

std::string FormatScanRecord(const Scan& scan, const std::string& locationCode, const LocalTime& time) {
    return "UP" + scan.vin + locationCode + TimestampDigits(time, true) + EventCode(scan.eventText) +
           RecordRoute(scan) + RecordDealer(scan);
}

std::string FormatScanListEntry(const Scan& scan, const std::string& clockText) {
    return scan.vin + " " + RecordRoute(scan) + " " + RecordDealer(scan) + "\r\n" + scan.eventText + "\r\n" +
           clockText + "\r\n";
}

std::optional<std::string> RecordLocation(const std::string& line) {
    // "UP", the VIN, the location, twelve timestamp digits, the event code,
    // route and dealer.
    constexpr std::size_t kVinEnd = 2 + 17, kTail = 12 + 3 + 4 + 6;
    if (line.size() < kVinEnd + kTail || line.compare(0, 2, "UP") != 0) return std::nullopt;
    const std::size_t stamp = line.size() - kTail;
    if (!std::all_of(line.begin() + static_cast<std::ptrdiff_t>(stamp), line.begin() + static_cast<std::ptrdiff_t>(stamp + 12),
                     [](unsigned char c) { return std::isdigit(c) != 0; }))
        return std::nullopt;
    return line.substr(kVinEnd, stamp - kVinEnd);
}

OtherLocationRecords RecordsOfOtherLocations(const std::string& records, const std::string& locationCode) {
    OtherLocationRecords other;
    std::size_t start = 0;
    while (start < records.size()) {
        std::size_t end = records.find("\r\n", start);
        if (end == std::string::npos) end = records.size();
        const std::optional<std::string> location = RecordLocation(records.substr(start, end - start));
        if (location && *location != locationCode) {
            if (other.count++ == 0) other.locationCode = *location;
        }
        start = end + 2;
    }
    return other;
}

std::string OtherLocationMessage(const OtherLocationRecords& other, const std::string& locationCode) {
    const auto named = [](const std::string& code) { return code.empty() ? std::string("(no code)") : code; };
    return std::to_string(other.count) + " pending scans were recorded for location " + named(other.locationCode) +
           "; this PC is now " + named(locationCode) + ". Quendrel sends no scan under another location's name, so "
           "they stay in " + kSaveDataFile + ". To send them, import the location.reg of " +
           named(other.locationCode) + " again, start Quendrel and press Send Data, then import that of " +
           named(locationCode) + "; or ask " QUENDREL_VENDOR " " QUENDREL_VENDOR_TELEPHONE ".";
}

}  // namespace quendrel
