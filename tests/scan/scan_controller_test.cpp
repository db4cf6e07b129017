#include "scan/scan_controller.h"

#include <gtest/gtest.h>

#include <map>

#include "scan/event_types.h"
#include "scan/scan_record.h"
#include "support/fake_file_system.h"
#include "support/fakes.h"

namespace quendrel {
namespace {

// The "Scan" page as the logic sees it.
class FakeScanWindow final : public IScanWindow {
public:
    std::string FieldText(ScanField f) override { return fields[f]; }
    void SetFieldText(ScanField f, const std::string& t) override { fields[f] = t; }
    void ShowVinField(bool v) override { vinShown = v; }
    void ShowRouteAndDealer(bool v) override { routeAndDealerShown = v; }
    void FocusField(ScanField f) override { focus = f; }
    void SelectFieldText(ScanField f) override { selected = f; }
    void SetStatus(const std::string& t, std::uint32_t c) override { status = t; colour = c; }
    std::string EventText() override {
        return selectedEvent < 0 ? "" : kEventTypes[static_cast<std::size_t>(selectedEvent)];
    }
    std::string ClockText() override { return "11/8/2001 9:05:07 AM"; }
    void AddScanListEntry(const std::string& e) override { list = e + list; }
    void Beep() override { ++beeps; }
    void ShowMessage(const std::string& t) override { messages.push_back(t); }

    std::map<ScanField, std::string> fields;
    bool vinShown = false;
    bool routeAndDealerShown = false;
    std::optional<ScanField> focus;
    std::optional<ScanField> selected;
    std::string status;
    std::uint32_t colour = 0;
    int selectedEvent = -1;
    std::string list;
    int beeps = 0;
    std::vector<std::string> messages;
};

constexpr const char* kScannedVin = "]1ABCD23E45F678901";  // scanner prefix + VIN

class ScanSequence : public ::testing::Test {
protected:
    ScanSequence() { settings.LocationCode = "X1"; }
    void Choose(int index) {
        window.selectedEvent = index;
        scan.ChooseEvent(index);
    }
    void Enter(ScanField field, const std::string& text) {
        window.fields[field] = text;
        scan.OnEnter(field);
    }
    std::string Saved() { return files.files[kSaveDataFile]; }

    FakeScanWindow window;
    testing::FixedClock clock;
    testing::FakeFileSystem files;
    LocationSettings settings;
    ScanController scan{window, clock, files, settings};
};

TEST_F(ScanSequence, ChoosingAnEventSetsTheFieldsAndVinOnly) {
    EXPECT_FALSE(scan.VinOnly().has_value());
    window.status = "earlier";
    Choose(5);
    EXPECT_TRUE(window.vinShown);
    EXPECT_TRUE(window.routeAndDealerShown);
    EXPECT_EQ(scan.VinOnly(), false);
    EXPECT_EQ(window.focus, ScanField::Vin);

    window.fields[ScanField::Vin] = "x";
    window.fields[ScanField::Route] = "r";
    window.fields[ScanField::Dealer] = "d";
    window.focus.reset();
    Choose(0);
    EXPECT_FALSE(window.routeAndDealerShown);
    EXPECT_EQ(scan.VinOnly(), true);
    EXPECT_EQ(window.focus, ScanField::Vin);
    for (auto f : {ScanField::Vin, ScanField::Route, ScanField::Dealer}) EXPECT_EQ(window.fields[f], "");
    EXPECT_EQ(window.status, "earlier");
}

TEST_F(ScanSequence, VinOnlyScanIsSavedWithOneEnter) {
    Choose(0);
    Enter(ScanField::Vin, kScannedVin);
    EXPECT_EQ(Saved(), "UP1ABCD23E45F678901X1011108090507510          \r\n");
    EXPECT_EQ(window.fields[ScanField::Vin], "");
    EXPECT_EQ(window.status, "Last Scan");
    EXPECT_EQ(window.colour, kStatusGreen);
    EXPECT_EQ(window.focus, ScanField::Vin);
    EXPECT_EQ(window.list, "1ABCD23E45F678901            \r\n510 Vehicle Received\r\n11/8/2001 9:05:07 AM\r\n");
}

TEST_F(ScanSequence, Event550WalksVinRouteDealer) {
    Choose(5);
    window.status = "No Scan!! Route is not 4 chars!!";
    window.colour = kStatusRed;
    Enter(ScanField::Vin, kScannedVin);
    EXPECT_EQ(window.fields[ScanField::Vin], "1ABCD23E45F678901");  // the prefix is gone
    EXPECT_EQ(window.focus, ScanField::Route);
    EXPECT_EQ(scan.AwaitedField(), ScanField::Route);
    EXPECT_EQ(window.status, "No Scan!! Route is not 4 chars!!");  // unchanged until the scan ends
    EXPECT_EQ(Saved(), "");

    Enter(ScanField::Route, "0042");
    EXPECT_EQ(window.focus, ScanField::Dealer);
    EXPECT_EQ(scan.AwaitedField(), ScanField::Dealer);
    Enter(ScanField::Dealer, "123456");
    EXPECT_EQ(scan.AwaitedField(), ScanField::Vin);
    EXPECT_EQ(Saved(), "UP1ABCD23E45F678901X10111080905075500042123456\r\n");
    EXPECT_EQ(window.status, "Last Scan");
    EXPECT_EQ(window.colour, kStatusGreen);
    for (auto f : {ScanField::Vin, ScanField::Route, ScanField::Dealer}) EXPECT_EQ(window.fields[f], "");
    EXPECT_EQ(window.focus, ScanField::Vin);
    EXPECT_EQ(window.list.substr(0, window.list.find("\r\n")), "1ABCD23E45F678901 0042 123456");
}

TEST_F(ScanSequence, FieldsOfTheWrongLengthAreRefused) {
    struct Case {
        int event;
        ScanField field;
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {0, ScanField::Vin, "1ABCD23E45F678901", "No Scan!! Vin is not 17 chars!!"},     // typed without a prefix: 16 left
        {0, ScanField::Vin, "]]1ABCD23E45F678901", "No Scan!! Vin is not 17 chars!!"},   // 18 left
        {0, ScanField::Vin, "", "No Scan!! Vin is not 17 chars!!"},
        {0, ScanField::Vin, "]", "No Scan!! Vin is not 17 chars!!"},
        {5, ScanField::Route, "004", "No Scan!! Route is not 4 chars!!"},
        {5, ScanField::Route, "00420", "No Scan!! Route is not 4 chars!!"},
        {5, ScanField::Dealer, "12345", "No Scan!! Dealer is not 6 chars!!"},
        {5, ScanField::Dealer, "1234567", "No Scan!! Dealer is not 6 chars!!"},
    };
    for (const Case& c : cases) {
        Choose(c.event);
        window.fields[ScanField::Vin] = c.field == ScanField::Vin ? "" : "1ABCD23E45F678901";
        window.fields[ScanField::Route] = c.field == ScanField::Dealer ? "0042" : "";
        window.beeps = 0;
        window.focus = c.field;
        Enter(c.field, c.text);
        EXPECT_EQ(window.beeps, 3) << c.text;
        EXPECT_EQ(window.status, c.message) << c.text;
        EXPECT_EQ(window.colour, kStatusRed) << c.text;
        EXPECT_EQ(window.fields[c.field], "") << c.text;
        EXPECT_EQ(window.focus, c.field) << c.text;
        if (c.field == ScanField::Dealer) {
            EXPECT_EQ(window.fields[ScanField::Vin], "1ABCD23E45F678901");
            EXPECT_EQ(window.fields[ScanField::Route], "0042");
        }
    }
    EXPECT_EQ(Saved(), "");
}

TEST_F(ScanSequence, OnlyTheLengthCounts) {
    Choose(5);
    Enter(ScanField::Vin, "]                 ");
    Enter(ScanField::Route, "    ");
    Enter(ScanField::Dealer, "      ");
    EXPECT_EQ(Saved(), "UP" + std::string(17, ' ') + "X1011108090507550" + std::string(10, ' ') + "\r\n");
}

TEST_F(ScanSequence, DealerEnterChecksTheVinAndRouteItWouldSave) {
    // The operator went straight to the Dealer field.
    Choose(5);
    Enter(ScanField::Dealer, "123456");
    EXPECT_EQ(window.beeps, 3);
    EXPECT_EQ(window.status, "No Scan!! Vin is not 17 chars!!");
    EXPECT_EQ(window.focus, ScanField::Vin);
    EXPECT_EQ(window.fields[ScanField::Dealer], "123456");

    // A VIN changed after its own Enter, then a missing route.
    window.fields[ScanField::Vin] = "1ABCD23E45F6789012";
    scan.OnEnter(ScanField::Dealer);
    EXPECT_EQ(window.status, "No Scan!! Vin is not 17 chars!!");
    window.fields[ScanField::Vin] = "1ABCD23E45F678901";
    scan.OnEnter(ScanField::Dealer);
    EXPECT_EQ(window.status, "No Scan!! Route is not 4 chars!!");
    EXPECT_EQ(window.focus, ScanField::Route);
    EXPECT_EQ(window.beeps, 9);
    EXPECT_EQ(Saved(), "");

    Enter(ScanField::Route, "0042");
    Enter(ScanField::Dealer, "123456");
    EXPECT_EQ(Saved(), "UP1ABCD23E45F678901X10111080905075500042123456\r\n");
}

TEST_F(ScanSequence, FailedSaveIsNotShownAsSaved) {
    Choose(0);
    window.list = "earlier entry\r\n";
    window.status = "";
    files.failWrites.insert(kSaveDataFile);
    Enter(ScanField::Vin, kScannedVin);
    EXPECT_EQ(window.beeps, 3);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_NE(window.messages[0].find("Access is denied."), std::string::npos);
    EXPECT_EQ(window.status, kNotSavedMessage);          // no "Last Scan"
    EXPECT_EQ(window.colour, kStatusRed);
    EXPECT_EQ(window.list, "earlier entry\r\n");         // nothing listed
    EXPECT_EQ(window.fields[ScanField::Vin], kScannedVin);  // Enter tries again...
    EXPECT_EQ(window.selected, ScanField::Vin);             // ...or a new scan replaces it

    files.failWrites.clear();
    scan.OnEnter(ScanField::Vin);
    EXPECT_EQ(Saved(), "UP1ABCD23E45F678901X1011108090507510          \r\n");
    EXPECT_EQ(window.status, "Last Scan");

    Choose(5);
    files.failWrites.insert(kSaveDataFile);
    Enter(ScanField::Vin, kScannedVin);
    Enter(ScanField::Route, "0042");
    Enter(ScanField::Dealer, "123456");
    EXPECT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.status, kNotSavedMessage);
    EXPECT_EQ(window.selected, ScanField::Dealer);
    EXPECT_EQ(window.fields[ScanField::Dealer], "123456");
    EXPECT_EQ(window.fields[ScanField::Route], "0042");
    EXPECT_EQ(window.fields[ScanField::Vin], "1ABCD23E45F678901");
}

}  // namespace
}  // namespace quendrel
