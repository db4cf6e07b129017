#include "app/main_window_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "about/about_dialog_win.h"
#include "app/dialog_keys_win.h"
#include "platform/clock_win.h"
#include "platform/system_error_win.h"
#include "platform/window_util_win.h"

namespace quendrel {

namespace {

constexpr UINT_PTR kClockTimer = 1;
constexpr UINT kClockIntervalMs = 1000;
// Posted when an event was chosen: the pick has sent all its notifications.
constexpr UINT kChoiceDone = WM_APP + 1;

bool RegisterMainWindowClass(HINSTANCE instance, WNDPROC windowProc) {
    // The common controls the window is made of.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = ProgramIcon(instance);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainWindowClass;
    return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

MainWindow::MainWindow(const MainWindowServices& services, const LocationSettings& settings)
    : services_(services), settings_(settings), scan_(*this, services.clock, services.files, settings) {
    for (const ControlSpec& spec : MainWindowControls()) wantsVisible_.push_back(spec.visibleAtStart);
}

MainWindow::~MainWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

MadeMainWindow MainWindow::Create(HINSTANCE instance, const MainWindowServices& services,
                                  const LocationSettings& settings) {
    if (!RegisterMainWindowClass(instance, WindowProc)) return {nullptr, LastErrorStatus()};
    std::unique_ptr<MainWindow> window(new MainWindow(services, settings));
    unique_hmenu menu = CreateMainMenu();
    HWND hwnd = CreateWindowExA(WS_EX_CONTROLPARENT, kMainWindowClass, kAppTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu.get(), instance,
                                window.get());
    if (!hwnd) return {nullptr, LastErrorStatus()};
    menu.release();  // the window's now: destroyed with it
    return {std::move(window), Status::Ok()};
}

void MainWindow::Show(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    SetFocus(Control(kTabControl));
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MainWindow* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<LPCREATESTRUCT>(lParam);
        self = static_cast<MainWindow*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return self->HandleMessage(hwnd, msg, wParam, lParam);
}

LRESULT MainWindow::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE: return OnCreate(hwnd, reinterpret_cast<LPCREATESTRUCT>(lParam)) ? 0 : -1;
        HANDLE_MSG(hwnd, WM_COMMAND, OnCommand);
        case WM_NOTIFY: return OnNotify(hwnd, static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam));
        HANDLE_MSG(hwnd, WM_TIMER, OnTimer);
        HANDLE_MSG(hwnd, WM_CTLCOLORSTATIC, OnCtlColorStatic);
        case WM_ACTIVATE:
            OnActivate(hwnd, LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
            return 0;
        HANDLE_MSG(hwnd, WM_SETFOCUS, OnSetFocus);
        HANDLE_MSG(hwnd, WM_CLOSE, OnClose);
        HANDLE_MSG(hwnd, WM_SETCURSOR, OnSetCursor);
        case kChoiceDone: choiceRunning_ = false; return 0;
        case kUploadEvents: OnUploadEvents(); return 0;
        HANDLE_MSG(hwnd, WM_DESTROY, OnDestroy);
        case WM_NCDESTROY:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            hwnd_ = nullptr;
            break;
        default: break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool MainWindow::OnCreate(HWND hwnd, LPCREATESTRUCT) {
    const UINT dpi = WindowDpi(hwnd);
    font_ = CreateMessageFont();
    SizeMainWindow(hwnd);
    controls_ = CreateMainWindowControls(hwnd, dpi, font_.get());
    // The tab control, the scan fields and the scan list see their messages
    // here first.
    std::vector<int> routed{kTabControl, kScanList};
    for (const ScanFieldSpec& field : kScanFields) routed.push_back(field.control);
    for (int id : routed)
        SetWindowSubclass(Control(id), ControlProc, static_cast<UINT_PTR>(id), reinterpret_cast<DWORD_PTR>(this));
    ApplyVisibility();
    UpdateClock();
    SetTimer(hwnd, kClockTimer, kClockIntervalMs, nullptr);
    return true;
}

void MainWindow::UpdateClock() { SetLabelText(kClockLabel, GeneralDateText(services_.clock.Now())); }

void MainWindow::OnTimer(HWND hwnd, UINT id) {
    if (id == kCloseTimer) {
        DestroyWindow(hwnd);  // the upload did not unwind in time: it ends with the program
        return;
    }
    if (id != kClockTimer) return;
    // The next tick comes a full interval after this update.
    KillTimer(hwnd, kClockTimer);
    UpdateClock();
    SetTimer(hwnd, kClockTimer, kClockIntervalMs, nullptr);
    if (sendData_) sendData_->OnClockTick();
}

void MainWindow::OnCommand(HWND, int id, HWND, UINT code) {
    switch (id) {
        case kMenuExit: SendMessageA(hwnd_, WM_CLOSE, 0, 0); break;
        case kMenuAbout: ShowAboutDialog(hwnd_, services_.registry); break;
        case kEventList:
            if (code == CBN_SELENDOK || code == CBN_SELCHANGE) OnEventPicked(code);
            break;
        case kSendDataButton:
            if (code == BN_CLICKED) OnSendData();
            break;
        default: break;
    }
}

void MainWindow::OnEventPicked(UINT code) {
    HWND list = Control(kEventList);
    const int index = ComboBox_GetCurSel(list);
    // Moving through the open list is no choice yet: the choice is made when
    // the list closes on an item (the end of the selection), or by the arrow
    // keys on the closed list (a selection change alone).
    if (index < 0 || (code == CBN_SELCHANGE && ComboBox_GetDroppedState(list))) return;
    // A pick that changes the item sends both notifications, a pick of the
    // item already chosen only the end of the selection: one choice per pick.
    if (choiceRunning_) return;
    // Cleared once every notification of this pick has been handled.
    choiceRunning_ = PostMessageA(hwnd_, kChoiceDone, 0, 0) != FALSE;
    scan_.ChooseEvent(index);
}

LRESULT MainWindow::OnNotify(HWND, int id, NMHDR* header) {
    if (id == kTabControl && header->code == TCN_SELCHANGE) OnPageChanged();
    return 0;
}

HWND MainWindow::Control(int id) const {
    const std::size_t slot = ControlSlot(id);
    return slot < controls_.size() ? controls_[slot] : nullptr;
}

int MainWindow::CurrentPage() const { return TabCtrl_GetCurSel(Control(kTabControl)); }

void MainWindow::SelectPage(int page) {
    if (page == CurrentPage()) return;
    TabCtrl_SetCurSel(Control(kTabControl), page);
    OnPageChanged();
}

void MainWindow::OnPageChanged() {
    ApplyVisibility();
    const int page = CurrentPage();
    if (page == kScanPage) {
        if (IsWindowVisible(Control(kVinField))) SetFocus(Control(kVinField));
    } else if (page == kUploadPage) {
        // Send Data is offered only when there is something to send.
        SendData().OnUploadTabShown();
    }
}

void MainWindow::ApplyVisibility() {
    const int page = CurrentPage() < 0 ? kScanPage : CurrentPage();
    HWND focus = GetFocus();
    for (const ControlSpec& spec : MainWindowControls()) {
        if (spec.page == kWindowItself) continue;
        const bool show = wantsVisible_[ControlSlot(spec.id)] && spec.page == page;
        HWND control = Control(spec.id);
        ShowWindow(control, show ? SW_SHOWNA : SW_HIDE);
        if (!show && focus == control) SetFocus(Control(kTabControl));
    }
}

void MainWindow::SetControlVisible(int id, bool visible) {
    wantsVisible_[ControlSlot(id)] = visible;
    ApplyVisibility();
}

bool MainWindow::PreTranslateMessage(MSG& msg) {
    if (msg.message != WM_KEYDOWN || !(msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd))) return false;
    if (msg.wParam == VK_TAB && GetKeyState(VK_MENU) >= 0) {
        if (GetKeyState(VK_CONTROL) < 0) {
            // The page change puts the focus where a click on the tab would.
            SelectPage(CurrentPage() == kScanPage ? kUploadPage : kScanPage);
        } else {
            MoveFocusToNextTabStop(controls_, GetKeyState(VK_SHIFT) >= 0);
        }
        SendMessageA(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        return true;
    }
    return msg.wParam == VK_RETURN && ClickFocusedPushButton(msg.hwnd);
}

void MainWindow::OnActivate(HWND, UINT state, HWND, BOOL) {
    // Like a dialog: the focus comes back to where it was.
    if (state == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
    } else {
        OnSetFocus(hwnd_, nullptr);
    }
}

void MainWindow::OnSetFocus(HWND, HWND) {
    HWND target = lastFocus_ && IsWindow(lastFocus_) && IsWindowVisible(lastFocus_) ? lastFocus_
                                                                                     : Control(kTabControl);
    if (target) SetFocus(target);
}

BOOL MainWindow::OnSetCursor(HWND hwnd, HWND cursorWindow, UINT hitTest, UINT msg) {
    // The hourglass stays while an upload runs, wherever the mouse goes.
    if (!busyPointer_ || hitTest != HTCLIENT)
        return static_cast<BOOL>(DefWindowProcA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(cursorWindow),
                                                MAKELPARAM(hitTest, msg)));
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    return TRUE;
}

HBRUSH MainWindow::OnCtlColorStatic(HWND, HDC dc, HWND control, int) {
    if (control == Control(kScanList)) {
        // Read-only, yet as readable as any text box.
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return GetSysColorBrush(COLOR_WINDOW);
    }
    // Labels are drawn straight onto the tab page, whatever its theme paints.
    SetBkMode(dc, TRANSPARENT);
    if (control == Control(kStatusLabel) && statusColour_) SetTextColor(dc, static_cast<COLORREF>(*statusColour_));
    else SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void MainWindow::SetLabelText(int id, const std::string& text) {
    HWND label = Control(id);
    SetWindowTextA(label, text.c_str());
    // A transparent label cannot erase its old text: let the page repaint
    // beneath it first.
    RECT area;
    GetWindowRect(label, &area);
    MapWindowPoints(nullptr, GetParent(label), reinterpret_cast<POINT*>(&area), 2);
    RedrawWindow(GetParent(label), &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void MainWindow::OnDestroy(HWND hwnd) {
    KillTimer(hwnd, kClockTimer);
    PostQuitMessage(0);
}

void ProcessMessage(MainWindow& window, MSG& msg) {
    if (window.PreTranslateMessage(msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

int RunMessageLoop(MainWindow& window) {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) ProcessMessage(window, msg);
    return static_cast<int>(msg.wParam);
}

}  // namespace quendrel
