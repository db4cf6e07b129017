#include "scan/scan_record.h"

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

}  // namespace quendrel
