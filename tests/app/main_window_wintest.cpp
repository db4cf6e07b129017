// The real main window under Wine: start-up state, event choice, tab pages,
// keyboard navigation, clock and layout.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <gtest/gtest.h>

#include "platform/clock_win.h"
#include "scan/event_types.h"
#include "support/main_window_fixture_win.h"

namespace quendrel {
namespace {

using testing::MainWindowTest;
using testing::PumpMessages;
using testing::PumpUntil;

constexpr int kScanPageControls[] = {kEventList,   kActionLabel, kClockLabel,  kVinLabel,    kVinField,
                                     kRouteLabel,  kRouteField,  kDealerLabel, kDealerField, kEnterButton,
                                     kScanList,    kStatusLabel};
constexpr int kUploadPageControls[] = {kSendDataButton, kUploadLog};

std::string ListItem(HWND list, int index) {
    char text[256] = "";
    ComboBox_GetLBText(list, index, text);
    return text;
}

TEST_F(MainWindowTest, StartsOnTheScanPageWithNothingChosen) {
    EXPECT_EQ(testing::WindowText(window->Handle()), "Quendrel");
    EXPECT_EQ(window->CurrentPage(), kScanPage);

    HWND list = Control(kEventList);
    ASSERT_EQ(ComboBox_GetCount(list), 10);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(ListItem(list, i), kEventTypes[static_cast<std::size_t>(i)]);
    EXPECT_EQ(ComboBox_GetCurSel(list), -1);
    EXPECT_FALSE(window->Scan().VinOnly().has_value());

    for (int id : {kVinLabel, kVinField, kRouteLabel, kRouteField, kDealerLabel, kDealerField, kEnterButton})
        EXPECT_FALSE(Visible(id)) << id;
    EXPECT_FALSE(IsWindowEnabled(Control(kEnterButton)));
    for (int id : {kEventList, kActionLabel, kClockLabel, kScanList, kStatusLabel}) EXPECT_TRUE(Visible(id)) << id;
    EXPECT_EQ(Text(kStatusLabel), "");
    EXPECT_EQ(Text(kScanList), "");
    EXPECT_EQ(Text(kUploadLog), "");
    EXPECT_EQ(Text(kActionLabel), "Action");
    EXPECT_EQ(Text(kClockLabel), GeneralDateText(clock.time));
    EXPECT_EQ(Focus(), Control(kTabControl));

    // The menus, with their access keys.
    HMENU bar = GetMenu(window->Handle());
    char text[64];
    GetMenuStringA(bar, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&File");
    GetMenuStringA(bar, 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Help");
    GetMenuStringA(bar, kMenuExit, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "E&xit");
    GetMenuStringA(bar, kMenuAbout, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&About");
}

TEST_F(MainWindowTest, ChoosingEventsShowsTheFieldsTheyNeed) {
    SetWindowTextA(Control(kStatusLabel), "kept");
    ChooseEvent(5);  // 550 Invoice Packet Received
    for (int id : {kVinLabel, kVinField, kRouteLabel, kRouteField, kDealerLabel, kDealerField})
        EXPECT_TRUE(Visible(id)) << id;
    EXPECT_EQ(window->Scan().VinOnly(), false);
    EXPECT_EQ(Focus(), Control(kVinField));

    SetWindowTextA(Control(kVinField), "half a VIN");
    SetWindowTextA(Control(kRouteField), "0042");
    SetWindowTextA(Control(kDealerField), "123");
    ChooseEvent(8);  // 575 Customer Pickup & Drive Away
    for (int id : {kRouteLabel, kRouteField, kDealerLabel, kDealerField}) EXPECT_FALSE(Visible(id)) << id;
    EXPECT_TRUE(Visible(kVinField));
    EXPECT_EQ(window->Scan().VinOnly(), true);
    EXPECT_EQ(Text(kVinField), "");
    EXPECT_EQ(Text(kRouteField), "");
    EXPECT_EQ(Text(kDealerField), "");
    EXPECT_EQ(Focus(), Control(kVinField));
    EXPECT_EQ(Text(kStatusLabel), "kept");  // a choice leaves the status alone
}

TEST_F(MainWindowTest, ChoosingWithTheKeyboardPutsTheFocusInTheVinField) {
    Press(VK_TAB);
    ASSERT_EQ(Focus(), Control(kEventList));
    Press(VK_DOWN);
    EXPECT_EQ(ComboBox_GetCurSel(Control(kEventList)), 0);
    EXPECT_EQ(Focus(), Control(kVinField));
    EXPECT_EQ(window->Scan().VinOnly(), true);
}

TEST_F(MainWindowTest, OnlyTheCurrentPageIsShown) {
    ChooseEvent(5);
    SetWindowTextA(Control(kVinField), "typed");
    SetFocus(Control(kTabControl));
    Press(VK_RIGHT);
    ASSERT_EQ(window->CurrentPage(), kUploadPage);
    for (int id : kScanPageControls) EXPECT_FALSE(Visible(id)) << id;
    for (int id : kUploadPageControls) EXPECT_TRUE(Visible(id)) << id;
    EXPECT_EQ(testing::WindowText(Control(kSendDataButton)), "Send Data");

    Press(VK_LEFT);
    ASSERT_EQ(window->CurrentPage(), kScanPage);
    for (int id : kUploadPageControls) EXPECT_FALSE(Visible(id)) << id;
    for (int id : {kVinField, kRouteField, kDealerField, kScanList}) EXPECT_TRUE(Visible(id)) << id;
    EXPECT_FALSE(Visible(kEnterButton));
    EXPECT_EQ(Text(kVinField), "typed");
    EXPECT_EQ(Focus(), Control(kVinField));  // back on "Scan", the VIN field takes the focus
}

TEST_F(MainWindowTest, TabWalksTheShownControlsInOrder) {
    ChooseEvent(5);
    SetFocus(Control(kTabControl));
    const int forward[] = {kEventList, kVinField, kRouteField, kDealerField, kScanList, kTabControl};
    for (int id : forward) {
        Press(VK_TAB);
        EXPECT_EQ(Focus(), Control(id)) << "expected control " << id;
    }
    Press(VK_TAB, /*shift=*/true);
    EXPECT_EQ(Focus(), Control(kScanList));
    Press(VK_TAB, /*shift=*/true);
    EXPECT_EQ(Focus(), Control(kDealerField));

    // Ctrl+Tab turns the page; Tab then stays on that page, and passes over
    // Send Data, disabled with nothing to send.
    Press(VK_TAB, false, /*ctrl=*/true);
    EXPECT_EQ(window->CurrentPage(), kUploadPage);
    EXPECT_FALSE(IsWindowEnabled(Control(kSendDataButton)));
    Press(VK_TAB);
    EXPECT_EQ(Focus(), Control(kUploadLog));
    Press(VK_TAB);
    EXPECT_EQ(Focus(), Control(kTabControl));

    // Back on "Scan" by Ctrl+Tab, the VIN field is ready for the next scan.
    Press(VK_TAB, false, /*ctrl=*/true);
    EXPECT_EQ(window->CurrentPage(), kScanPage);
    EXPECT_EQ(Focus(), Control(kVinField));
}

TEST_F(MainWindowTest, ClockFollowsTheTimeAndShowsTheDateAloneAtMidnight) {
    clock.time = {2026, 12, 8, 4, 25, 28};
    ASSERT_TRUE(PumpUntil([&] { return Text(kClockLabel) == GeneralDateText(clock.time); }, 2500));
    EXPECT_NE(Text(kClockLabel).find(' '), std::string::npos);

    clock.time = {2026, 12, 9, 0, 0, 0};
    ASSERT_TRUE(PumpUntil([&] { return Text(kClockLabel) == GeneralDateText(clock.time); }, 2500));
    EXPECT_EQ(Text(kClockLabel).find(' '), std::string::npos);
    EXPECT_EQ(Text(kClockLabel), "12/9/2026");  // the prefix's United States short date
}

TEST_F(MainWindowTest, LayoutIsInTwipsAndIgnoresResizing) {
    const UINT dpi = static_cast<UINT>(GetDeviceCaps(GetDC(nullptr), LOGPIXELSY));
    auto px = [dpi](int twips) { return MulDiv(twips, static_cast<int>(dpi), 1440); };
    RECT client;
    GetClientRect(window->Handle(), &client);
    EXPECT_EQ(client.right, px(3180));
    EXPECT_EQ(client.bottom, px(6015));

    SetWindowPos(window->Handle(), nullptr, 0, 0, 900, 900, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages(50);
    RECT tab;
    GetWindowRect(Control(kTabControl), &tab);
    MapWindowPoints(nullptr, window->Handle(), reinterpret_cast<POINT*>(&tab), 2);
    EXPECT_EQ(tab.left, 0);
    EXPECT_EQ(tab.top, 0);
    EXPECT_EQ(tab.right - tab.left, px(3165));
    EXPECT_EQ(tab.bottom - tab.top, px(6000));

    RECT vin;
    GetWindowRect(Control(kVinField), &vin);
    MapWindowPoints(nullptr, Control(kTabControl), reinterpret_cast<POINT*>(&vin), 2);
    EXPECT_EQ(vin.left, px(98));
    EXPECT_EQ(vin.top, px(1890));
    EXPECT_EQ(vin.right - vin.left, px(2985));
    EXPECT_EQ(vin.bottom - vin.top, px(315));
}

TEST_F(MainWindowTest, ControlsUseTheSystemMessageFont) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    for (int id : {kEventList, kClockLabel, kVinField, kScanList, kSendDataButton}) {
        HFONT font = GetWindowFont(Control(id));
        ASSERT_NE(font, nullptr) << id;
        LOGFONTA used{};
        GetObjectA(font, sizeof used, &used);
        EXPECT_STREQ(used.lfFaceName, metrics.lfMessageFont.lfFaceName) << id;
        EXPECT_EQ(used.lfHeight, metrics.lfMessageFont.lfHeight) << id;
    }
}

TEST_F(MainWindowTest, ExitClosesTheWindow) {
    HWND hwnd = window->Handle();
    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(kMenuExit, 0), 0);
    EXPECT_TRUE(PumpUntil([hwnd] { return !IsWindow(hwnd); }, 2000));
}

}  // namespace
}  // namespace quendrel
