// The About dialog as a window under Wine: texts, layout, keys, modality.
#include <gtest/gtest.h>

#include "about/about_dialog_win.h"
#include "support/win_support_win.h"

namespace quendrel::testing {
namespace {

int Dpi(int axis) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, axis);
    ReleaseDC(nullptr, screen);
    return dpi;
}
int Px(int twips) { return MulDiv(twips, Dpi(LOGPIXELSX), 1440); }
int Py(int twips) { return MulDiv(twips, Dpi(LOGPIXELSY), 1440); }

// A control's rectangle in its dialog's client coordinates.
RECT PlaceOf(HWND dialog, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// A top-level window to own the dialog, as the main window does.
class OwnerWindow {
public:
    OwnerWindow() {
        hwnd_ = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 600, 400, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~OwnerWindow() { DestroyWindow(hwnd_); }
    HWND get() const { return hwnd_; }

private:
    HWND hwnd_;
};

struct Seen {
    std::string caption, title, version, description, disclaimer, ok, sysInfo;
    LONG style = 0;
    bool okIsDefault = false;
    bool okHasFocus = false;
    bool ownerEnabled = true;
    bool hasIcon = false;
};

Seen LookAtDialog(HWND owner) {
    Seen seen;
    const DWORD uiThread = GetCurrentThreadId();
    WhileDialogRuns([&] { ShowAboutDialog(owner, SystemRegistry()); },
                    [&](HWND dialog) {
                        seen.caption = WindowText(dialog);
                        seen.title = WindowText(GetDlgItem(dialog, kAboutTitleId));
                        seen.version = WindowText(GetDlgItem(dialog, kAboutVersionId));
                        seen.description = WindowText(GetDlgItem(dialog, kAboutDescriptionId));
                        seen.disclaimer = WindowText(GetDlgItem(dialog, kAboutDisclaimerId));
                        seen.ok = WindowText(GetDlgItem(dialog, IDOK));
                        seen.sysInfo = WindowText(GetDlgItem(dialog, kAboutSysInfoId));
                        seen.style = GetWindowLongA(dialog, GWL_STYLE);
                        seen.okIsDefault = LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0)) == IDOK;
                        GUITHREADINFO info{};
                        info.cbSize = sizeof(info);
                        GetGUIThreadInfo(uiThread, &info);
                        seen.okHasFocus = info.hwndFocus == GetDlgItem(dialog, IDOK);
                        seen.ownerEnabled = owner && IsWindowEnabled(owner);
                        seen.hasIcon = SendMessageA(GetDlgItem(dialog, kAboutIconId), STM_GETICON, 0, 0) != 0;
                        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                    });
    return seen;
}

TEST(AboutDialog, ShowsItsTextsEveryTimeItOpens) {
    OwnerWindow owner;
    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE("opening " + std::to_string(opening));
        const Seen seen = LookAtDialog(owner.get());
        EXPECT_EQ(seen.caption, "About Quendrel");
        EXPECT_EQ(seen.title, "Quendrel");
        EXPECT_EQ(seen.version, "Version 1.0.0");
        EXPECT_EQ(seen.description, "Quendrel and Upload Application");
        EXPECT_EQ(seen.disclaimer, "Vossel Inc.\r\n2290 Harbor Freight Way\r\nPort Ellory, OR 97411\r\n(555) 014-2290");
        EXPECT_EQ(seen.ok, "OK");
        EXPECT_EQ(seen.sysInfo, "&System Info...");
        EXPECT_TRUE(seen.okIsDefault);
        EXPECT_TRUE(seen.okHasFocus);
        EXPECT_TRUE(seen.hasIcon);
    }
}

TEST(AboutDialog, IsAFixedModalDialogThatDisablesItsOwner) {
    OwnerWindow owner;
    const Seen seen = LookAtDialog(owner.get());
    EXPECT_FALSE(seen.ownerEnabled) << "the owner must take no input while the dialog is open";
    EXPECT_TRUE(IsWindowEnabled(owner.get())) << "the owner is enabled again afterwards";
    EXPECT_TRUE(seen.style & WS_CAPTION);
    EXPECT_TRUE(seen.style & WS_SYSMENU);
    EXPECT_FALSE(seen.style & WS_MINIMIZEBOX);
    EXPECT_FALSE(seen.style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(seen.style & WS_THICKFRAME);
}

TEST(AboutDialog, ControlsSitWhereTheLayoutPutsThem) {
    struct Expected {
        int id;
        int left, top, width, height;  // twips
    };
    const Expected controls[] = {
        {kAboutTitleId, 1050, 240, 3885, 480},       {kAboutVersionId, 1050, 780, 3885, 225},
        {kAboutDescriptionId, 1080, 1125, 3885, 1170}, {kAboutDisclaimerId, 255, 2625, 3870, 825},
        {IDOK, 4245, 2625, 1260, 345},               {kAboutSysInfoId, 4260, 3075, 1245, 345},
    };
    RECT client{};
    std::vector<RECT> places;
    RECT icon{};
    WhileDialogRuns([] { ShowAboutDialog(nullptr, SystemRegistry()); },
                    [&](HWND dialog) {
                        GetClientRect(dialog, &client);
                        for (const Expected& c : controls) places.push_back(PlaceOf(dialog, GetDlgItem(dialog, c.id)));
                        icon = PlaceOf(dialog, GetDlgItem(dialog, kAboutIconId));
                        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                    });
    EXPECT_EQ(client.right, Px(5730));
    EXPECT_EQ(client.bottom, Py(3555));
    ASSERT_EQ(places.size(), std::size(controls));
    for (std::size_t i = 0; i < places.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(controls[i].id));
        EXPECT_EQ(places[i].left, Px(controls[i].left));
        EXPECT_EQ(places[i].top, Py(controls[i].top));
        EXPECT_EQ(places[i].right - places[i].left, Px(controls[i].width));
        EXPECT_EQ(places[i].bottom - places[i].top, Py(controls[i].height));
    }
    // The picture box sizes itself to its 32 x 32 icon.
    EXPECT_EQ(icon.left, Px(240));
    EXPECT_EQ(icon.top, Py(240));
    EXPECT_EQ(icon.right - icon.left, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(icon.bottom - icon.top, GetSystemMetrics(SM_CYICON));
}

TEST(AboutDialog, DrawsAnEtchedRuleOfAGreyAndAWhiteLine) {
    COLORREF grey = 0, white = 0, white2 = 0, below = 0, between = 0;
    WhileDialogRuns([] { ShowAboutDialog(nullptr, SystemRegistry()); },
                    [&](HWND dialog) {
                        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                        Sleep(200);
                        HDC dc = GetDC(dialog);
                        grey = GetPixel(dc, Px(2000), Py(2445));
                        white = GetPixel(dc, Px(2000), Py(2460));
                        white2 = GetPixel(dc, Px(2000), Py(2460) + 1);
                        below = GetPixel(dc, Px(2000), Py(2460) + 2);
                        between = GetPixel(dc, Px(2000), Py(2200));
                        ReleaseDC(dialog, dc);
                        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                    });
    EXPECT_EQ(grey, RGB(128, 128, 128));
    EXPECT_EQ(white, RGB(255, 255, 255));
    EXPECT_EQ(white2, RGB(255, 255, 255)) << "the white line is 2 wide";
    EXPECT_EQ(below, GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(between, GetSysColor(COLOR_BTNFACE)) << "only the rule is drawn";
}

// How each way of closing ends the dialog.
TEST(AboutDialog, EnterEscAndTheCloseBoxCloseIt) {
    struct Way {
        const char* name;
        std::function<void(HWND dialog)> close;
    };
    const Way ways[] = {
        {"Enter", [](HWND d) { PostMessageA(GetDlgItem(d, IDOK), WM_KEYDOWN, VK_RETURN, 0); }},
        {"Esc", [](HWND d) { PostMessageA(GetDlgItem(d, IDOK), WM_KEYDOWN, VK_ESCAPE, 0); }},
        {"close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"OK click", [](HWND d) { PostMessageA(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        bool closed = false;
        WhileDialogRuns([] { ShowAboutDialog(nullptr, SystemRegistry()); },
                        [&](HWND dialog) {
                            way.close(dialog);
                            closed = WaitUntil([&] { return !IsWindow(dialog); }, 5000);
                        });
        EXPECT_TRUE(closed);
    }
}

TEST(AboutDialog, EnterOnSystemInfoRunsItInsteadOfClosing) {
    const DWORD uiThread = GetCurrentThreadId();
    std::string message;
    bool stillOpen = false;
    // With no System Information tool registered, its message comes up.
    ImportRegistry(
        "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Shared Tools\\MSINFO]\r\n\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Shared Tools Location]\r\n\r\n");
    WhileDialogRuns([] { ShowAboutDialog(nullptr, SystemRegistry()); },
                    [&](HWND dialog) {
                        HWND sysInfo = GetDlgItem(dialog, kAboutSysInfoId);
                        PostMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(sysInfo), TRUE);
                        WaitUntil(
                            [&] {
                                GUITHREADINFO info{};
                                info.cbSize = sizeof(info);
                                GetGUIThreadInfo(uiThread, &info);
                                return info.hwndFocus == sysInfo;
                            },
                            5000);
                        PostMessageA(sysInfo, WM_KEYDOWN, VK_RETURN, 0);
                        if (HWND box = WaitForDialog(uiThread, dialog, 5000)) {
                            message = MessageBoxText(box);
                            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                            WaitUntil([&] { return !IsWindow(box); }, 5000);
                        }
                        stillOpen = IsWindow(dialog);
                    });
    EXPECT_EQ(message, "System Information Is Unavailable At This Time");
    EXPECT_TRUE(stillOpen);
}

}  // namespace
}  // namespace quendrel::testing
