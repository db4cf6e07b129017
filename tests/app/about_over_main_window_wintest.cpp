// Help > About over the real main window: the main window takes no input
// while the dialog is open, its clock keeps running, and it is as it was
// once the dialog has closed.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "support/win_support_win.h"
#include "app/main_window_win.h"
#include "platform/beep_win.h"
#include "platform/clock_win.h"
#include "support/fake_registry.h"

namespace quendrel::testing {
namespace {

// Clicks the left mouse button at a screen point, as the user would.
void ClickAt(POINT point) {
    SetCursorPos(point.x, point.y);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
}

// The middle of the "Upload" tab, on the screen.
POINT UploadTabCentre(HWND tabs) {
    RECT item{};
    SendMessageA(tabs, TCM_GETITEMRECT, kUploadPage, reinterpret_cast<LPARAM>(&item));
    POINT centre{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(tabs, &centre);
    return centre;
}

TEST(AboutOverMainWindow, MainWindowTakesNoInputWhileTheDialogIsOpenAndItsClockRuns) {
    Win32Clock clock;
    Win32Beeper beeper;
    FakeRegistry registry;
    LocationSettings settings;
    settings.LocationCode = "X1";
    settings.FtpHost = "SERVER1";
    FtpUploadPort upload(SystemFileSystem(), NewRunTag());
    const MainWindowServices services{clock, SystemFileSystem(), beeper, registry, upload};
    std::unique_ptr<MainWindow> window = MainWindow::Create(GetModuleHandleA(nullptr), services, settings).window;
    ASSERT_TRUE(window);
    window->Show(SW_SHOWNORMAL);
    HWND main = window->Handle();
    HWND tabs = window->Control(kTabControl);
    HWND clockLabel = window->Control(kClockLabel);

    bool dialogOwnedByMain = false;
    bool enabledWhileOpen = true;
    bool clockChanged = false;
    int pageAfterClickWhileOpen = -1;
    bool enabledAfterClose = false;
    int pageAfterClose = -1;
    int pageAfterClickWhenClosed = -1;

    WhileDialogRuns(
        [&] {
            // Help > About, then the program's own message loop.
            PostMessageA(main, WM_COMMAND, MAKEWPARAM(kMenuAbout, 0), 0);
            RunMessageLoop(*window);
        },
        [&](HWND dialog) {
            dialogOwnedByMain = GetWindow(dialog, GW_OWNER) == main;
            enabledWhileOpen = IsWindowEnabled(main) != FALSE;

            const std::string before = WindowText(clockLabel);
            clockChanged = WaitUntil([&] { return WindowText(clockLabel) != before; }, 3500);

            // Move the dialog off the tab row and click the "Upload" tab.
            SetWindowPos(dialog, nullptr, 850, 700, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            ClickAt(UploadTabCentre(tabs));
            Sleep(700);
            pageAfterClickWhileOpen = static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0));

            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            WaitUntil([&] { return !IsWindow(dialog); }, 5000);
            WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }, 2000);
            enabledAfterClose = IsWindowEnabled(main) != FALSE;
            pageAfterClose = static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0));

            // The same click reaches the main window once the dialog is gone.
            ClickAt(UploadTabCentre(tabs));
            WaitUntil([&] { return SendMessageA(tabs, TCM_GETCURSEL, 0, 0) == kUploadPage; }, 3000);
            pageAfterClickWhenClosed = static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0));

            PostMessageA(main, WM_CLOSE, 0, 0);
        });

    EXPECT_TRUE(dialogOwnedByMain);
    EXPECT_FALSE(enabledWhileOpen) << "the main window must take no input while About is open";
    EXPECT_TRUE(clockChanged) << "the clock stopped while About was open";
    EXPECT_EQ(pageAfterClickWhileOpen, kScanPage) << "a click reached the main window";
    EXPECT_TRUE(enabledAfterClose);
    EXPECT_EQ(pageAfterClose, kScanPage);
    EXPECT_EQ(pageAfterClickWhenClosed, kUploadPage) << "the click used by this test does not reach the window";
}

}  // namespace
}  // namespace quendrel::testing
