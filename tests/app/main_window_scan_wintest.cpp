// Scanning through the real window under Wine: keys go in through SendInput
// and the program's own message handling, records come out in savedata.dat.
#include <gtest/gtest.h>

#include "scan/scan_window.h"
#include "support/main_window_fixture_win.h"

namespace quendrel {
namespace {

using testing::MainWindowTest;
using testing::MessageBoxWatcher;
using testing::PumpMessages;
using testing::ReadFileBytes;
using testing::TypeText;

constexpr const char* kScannedVin = "]1ABCD23E45F678901";  // scanner prefix + VIN
constexpr const char* k510Record = "UP1ABCD23E45F678901X1011108090507510          \r\n";
constexpr const char* k550Record = "UP1ABCD23E45F678901X10111080905075500042123456\r\n";

class ScanWindowTest : public MainWindowTest {
protected:
    void Scan(const std::string& text) {
        TypeText(text);
        Press(VK_RETURN);
    }
    std::string SaveData() { return ReadFileBytes(workDir->File("savedata.dat")); }
};

TEST_F(ScanWindowTest, VinOnlyEventSavesOnEnter) {
    ChooseEvent(0);
    Scan(kScannedVin);
    EXPECT_EQ(SaveData(), k510Record);
    EXPECT_EQ(Text(kVinField), "");
    EXPECT_EQ(Focus(), Control(kVinField));
    EXPECT_EQ(Text(kStatusLabel), "Last Scan");
    EXPECT_EQ(window->StatusColour(), kStatusGreen);
    EXPECT_EQ(Text(kScanList), "1ABCD23E45F678901            \r\n510 Vehicle Received\r\n" + Text(kClockLabel) + "\r\n");
    EXPECT_EQ(beeper.count, 0);

    // A second scan goes after the first, newest on top of the list.
    clock.time.second = 8;
    Scan("]2ABCD23E45F678901");
    EXPECT_EQ(SaveData(), std::string(k510Record) + "UP2ABCD23E45F678901X1011108090508510          \r\n");
    EXPECT_EQ(Text(kScanList).substr(0, 17), "2ABCD23E45F678901");
}

TEST_F(ScanWindowTest, Event550GoesFromVinToRouteToDealer) {
    ChooseEvent(5);
    Scan(kScannedVin);
    EXPECT_EQ(Text(kVinField), "1ABCD23E45F678901");
    EXPECT_EQ(Focus(), Control(kRouteField));
    Scan("0042");
    EXPECT_EQ(Focus(), Control(kDealerField));
    EXPECT_EQ(Text(kRouteField), "0042");  // Enter adds no character
    Scan("123456");
    EXPECT_EQ(SaveData(), k550Record);
    EXPECT_EQ(Text(kVinField), "");
    EXPECT_EQ(Text(kRouteField), "");
    EXPECT_EQ(Text(kDealerField), "");
    EXPECT_EQ(Focus(), Control(kVinField));
    EXPECT_EQ(Text(kStatusLabel), "Last Scan");
    EXPECT_EQ(Text(kScanList).substr(0, 31), "1ABCD23E45F678901 0042 123456\r\n");
}

TEST_F(ScanWindowTest, VinTypedWithoutAPrefixIsRefused) {
    ChooseEvent(0);
    Scan("1ABCD23E45F678901");
    EXPECT_EQ(beeper.count, 3);
    EXPECT_EQ(Text(kStatusLabel), "No Scan!! Vin is not 17 chars!!");
    EXPECT_EQ(window->StatusColour(), kStatusRed);
    EXPECT_EQ(Text(kVinField), "");
    EXPECT_EQ(Focus(), Control(kVinField));
    EXPECT_FALSE(testing::ReadFileBytes(workDir->File("savedata.dat")).size());

    // The next good scan turns the label green again.
    Scan(kScannedVin);
    EXPECT_EQ(window->StatusColour(), kStatusGreen);
    EXPECT_EQ(SaveData(), k510Record);
}

TEST_F(ScanWindowTest, RefusedRouteKeepsTheVinAndAcceptsACorrectOne) {
    ChooseEvent(5);
    Scan(kScannedVin);
    Scan("004");
    EXPECT_EQ(beeper.count, 3);
    EXPECT_EQ(Text(kStatusLabel), "No Scan!! Route is not 4 chars!!");
    EXPECT_EQ(Text(kRouteField), "");
    EXPECT_EQ(Text(kVinField), "1ABCD23E45F678901");
    EXPECT_EQ(Focus(), Control(kRouteField));
    Scan("0042");
    EXPECT_EQ(Focus(), Control(kDealerField));
    Scan("123456");
    EXPECT_EQ(SaveData(), k550Record);
}

TEST_F(ScanWindowTest, AScanTypedWithTheFocusOnTheListIsSaved) {
    ChooseEvent(0);
    Press(VK_TAB);  // from the VIN field on to the list
    ASSERT_EQ(Focus(), Control(kScanList));
    Scan(kScannedVin);
    EXPECT_EQ(SaveData(), k510Record);
    EXPECT_EQ(Text(kStatusLabel), "Last Scan");
    EXPECT_EQ(Text(kScanList), "1ABCD23E45F678901            \r\n510 Vehicle Received\r\n" + Text(kClockLabel) + "\r\n");

    // A 550 scan goes on in the field it has reached.
    ChooseEvent(5);
    Scan(kScannedVin);
    Press(VK_TAB);
    Press(VK_TAB);  // Route, Dealer, list
    ASSERT_EQ(Focus(), Control(kScanList));
    Scan("0042");
    EXPECT_EQ(Focus(), Control(kDealerField));
    Press(VK_TAB);
    Scan("123456");
    EXPECT_EQ(SaveData(), std::string(k510Record) + k550Record);
}

TEST_F(ScanWindowTest, PickingTheChosenEventAgainEmptiesTheFields) {
    auto pick = [&](int downs) {
        ASSERT_EQ(Focus(), Control(kEventList));
        Press(VK_F4);  // opens the list
        for (int i = 0; i < downs; ++i) Press(VK_DOWN);
        Press(VK_RETURN);
    };
    Press(VK_TAB);
    pick(1);
    EXPECT_EQ(window->Scan().VinOnly(), true);
    EXPECT_EQ(Focus(), Control(kVinField));
    TypeText("]1ABC");
    Press(VK_TAB, /*shift=*/true);
    pick(0);
    EXPECT_EQ(Text(kVinField), "");
    EXPECT_EQ(Focus(), Control(kVinField));
    EXPECT_EQ(beeper.count, 0);
}

TEST_F(ScanWindowTest, ReadOnlySaveDataIsReportedAndNothingLooksSaved) {
    const std::string file = workDir->File("savedata.dat");
    testing::WriteFileBytes(file, k550Record);
    ASSERT_TRUE(testing::SetReadOnly(file, true));

    ChooseEvent(0);
    SetWindowTextA(Control(kScanList), "earlier\r\n");
    {
        MessageBoxWatcher boxes;
        Scan(kScannedVin);
        ASSERT_TRUE(testing::PumpUntil([&] { return !boxes.Boxes().empty(); }, 3000));
        const auto seen = boxes.Boxes();
        EXPECT_EQ(seen[0].caption, "Quendrel");
        EXPECT_NE(seen[0].text.find("The scan was not saved."), std::string::npos);
        EXPECT_GT(seen[0].text.size(), std::string("The scan was not saved.").size() + 4);  // the system's reason
    }
    EXPECT_EQ(beeper.count, 3);
    EXPECT_EQ(Text(kStatusLabel), "No Scan!! Not saved!!");
    EXPECT_EQ(window->StatusColour(), kStatusRed);
    EXPECT_EQ(Text(kScanList), "earlier\r\n");
    EXPECT_EQ(Text(kVinField), kScannedVin);
    EXPECT_EQ(SaveData(), k550Record);

    // Once the file can be written, Enter saves the same scan.
    ASSERT_TRUE(testing::SetReadOnly(file, false));
    testing::ActivateWindow(window->Handle());
    SetFocus(Control(kVinField));
    Press(VK_RETURN);
    EXPECT_EQ(SaveData(), std::string(k550Record) + k510Record);
    EXPECT_EQ(Text(kStatusLabel), "Last Scan");
}

TEST_F(ScanWindowTest, FileHeldOpenByAnotherProgramIsReported) {
    const std::string file = workDir->File("savedata.dat");
    testing::WriteFileBytes(file, k550Record);
    HANDLE held = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    ChooseEvent(5);
    Scan(kScannedVin);
    Scan("0042");
    {
        MessageBoxWatcher boxes;
        Scan("123456");
        ASSERT_TRUE(testing::PumpUntil([&] { return !boxes.Boxes().empty(); }, 3000));
    }
    CloseHandle(held);
    EXPECT_EQ(beeper.count, 3);
    EXPECT_EQ(Text(kDealerField), "123456");
    EXPECT_EQ(Text(kRouteField), "0042");
    EXPECT_EQ(Text(kScanList), "");
    EXPECT_EQ(SaveData(), k550Record);

    testing::ActivateWindow(window->Handle());
    EXPECT_EQ(Focus(), Control(kDealerField));  // the focus stayed in the Dealer field
    Press(VK_RETURN);
    EXPECT_EQ(SaveData(), std::string(k550Record) + k550Record);
}

}  // namespace
}  // namespace quendrel
