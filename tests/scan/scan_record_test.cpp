#include "scan/scan_record.h"

#include <gtest/gtest.h>

namespace quendrel {
namespace {

const Scan kExample{"1ABCD23E45F678901", "550 Invoice Packet Received", "0042", "123456"};

TEST(ScanRecord, Event550CarriesVinLocationTimeEventRouteAndDealerIn46Characters) {
    const std::string record = FormatScanRecord(kExample, "X1", {2001, 11, 8, 9, 5, 7});
    EXPECT_EQ(record, "UP1ABCD23E45F678901X10111080905075500042123456");
    EXPECT_EQ(record.size(), 46u);
}

TEST(ScanRecord, OtherEventsEndInTenBlanksWhateverWasTyped) {
    Scan scan = kExample;
    scan.eventText = "510 Vehicle Received";
    EXPECT_EQ(FormatScanRecord(scan, "X1", {2001, 11, 8, 9, 5, 7}),
              "UP1ABCD23E45F678901X1011108090507510          ");
}

TEST(ScanRecord, TimestampDigitsAreZeroPaddedFromOneReading) {
    EXPECT_EQ(FormatScanRecord(kExample, "X1", {2009, 12, 31, 23, 59, 59}).substr(21, 12), "091231235959");
    EXPECT_EQ(TimestampDigits({2000, 1, 1, 0, 0, 0}, false), "0001010000");
}

TEST(ScanRecord, LocationCodeIsCopiedAsStored) {
    EXPECT_EQ(FormatScanRecord(kExample, "", {2001, 11, 8, 9, 5, 7}), "UP1ABCD23E45F6789010111080905075500042123456");
    EXPECT_EQ(FormatScanRecord(kExample, "LONG CODE", {2001, 11, 8, 9, 5, 7}).substr(19, 9), "LONG CODE");
}

TEST(ScanListEntry, ThreeLinesInFrontOfTheList) {
    EXPECT_EQ(FormatScanListEntry(kExample, "11/8/2001 9:05:07 AM"),
              "1ABCD23E45F678901 0042 123456\r\n550 Invoice Packet Received\r\n11/8/2001 9:05:07 AM\r\n");
    Scan vinOnly = kExample;
    vinOnly.eventText = "580 Physical Inventory (Hands On)";
    EXPECT_EQ(FormatScanListEntry(vinOnly, "c").substr(0, 31), "1ABCD23E45F678901" + std::string(12, ' ') + "\r\n");
}

}  // namespace
}  // namespace quendrel
