#include "app/main_window_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <iterator>

#include "about/about_dialog_win.h"
#include "config/settings_rules.h"
#include "platform/clock_win.h"
#include "platform/window_util_win.h"
#include "scan/event_types.h"
#include "scan/scan_record.h"

namespace quendrel {

namespace {

constexpr UINT_PTR kClockTimer = 1;
// Posted when an event was chosen: the pick has sent all its notifications.
constexpr UINT kChoiceDone = WM_APP + 1;
// Posted by the upload's thread when it has news for the Send Data command.
constexpr UINT kUploadEvents = WM_APP + 2;
// The progress bar's range: the share of the batch sent, in thousandths.
constexpr int kProgressSteps = 1000;
constexpr UINT kClockIntervalMs = 1000;

// Size of the window's client area and of the tab control, in twips.
constexpr int kClientWidth = 3180;
constexpr int kClientHeight = 6015;

struct ControlSpec {
    int id;
    const char* windowClass;
    const char* text;
    DWORD style;
    DWORD exStyle;
    int page;  // kScanPage, kUploadPage, or -1 for the window itself
    int left, top, width, height;  // twips, from the tab control's top-left corner
    bool visibleAtStart;
    bool tabStop;
};

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
constexpr DWORD kLineEdit = ES_AUTOHSCROLL | WS_TABSTOP;
constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;

// Every control in tab order.
const ControlSpec kControls[] = {
    {kTabControl, WC_TABCONTROLA, "", WS_TABSTOP | TCS_FIXEDWIDTH, WS_EX_CONTROLPARENT, -1, 0, 0, 3165, 6000, true, true},
    {kEventList, WC_COMBOBOXA, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, kScanPage, 135, 1170, 2985, 315, true, true},
    {kActionLabel, WC_STATICA, "Action", kLabel, 0, kScanPage, 98, 810, 2985, 315, true, false},
    {kClockLabel, WC_STATICA, "", SS_CENTER | SS_NOPREFIX, 0, kScanPage, 98, 450, 2985, 315, true, false},
    {kVinLabel, WC_STATICA, "VIN", kLabel, 0, kScanPage, 98, 1530, 2985, 315, false, false},
    {kVinField, WC_EDITA, "", kLineEdit, WS_EX_CLIENTEDGE, kScanPage, 98, 1890, 2985, 315, false, true},
    {kRouteLabel, WC_STATICA, "Route", kLabel, 0, kScanPage, 98, 2250, 2985, 315, false, false},
    {kRouteField, WC_EDITA, "", kLineEdit, WS_EX_CLIENTEDGE, kScanPage, 98, 2610, 2985, 315, false, true},
    {kDealerLabel, WC_STATICA, "Dealer", kLabel, 0, kScanPage, 98, 2970, 2985, 315, false, false},
    {kDealerField, WC_EDITA, "", kLineEdit, WS_EX_CLIENTEDGE, kScanPage, 98, 3330, 2985, 315, false, true},
    {kEnterButton, WC_BUTTONA, "Enter", kButton | WS_DISABLED, 0, kScanPage, 98, 5445, 2985, 465, false, true},
    // The scan list records what was saved: read-only, its text can still be
    // selected, copied and scrolled.
    {kScanList, WC_EDITA, "", ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL | WS_TABSTOP,
     WS_EX_CLIENTEDGE, kScanPage, 98, 4050, 2985, 1320, true, true},
    {kStatusLabel, WC_STATICA, "", kLabel | SS_ENDELLIPSIS, 0, kScanPage, 98, 3690, 2985, 285, true, false},
    {kSendDataButton, WC_BUTTONA, "Send Data", kButton, 0, kUploadPage, 98, 5415, 2985, 510, true, true},
    {kUploadLog, WC_EDITA, "", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_TABSTOP, WS_EX_CLIENTEDGE,
     kUploadPage, 98, 585, 2985, 4695, true, true},
    // In the gap between the log and the button, shown only while an upload runs.
    {kUploadProgress, PROGRESS_CLASSA, "", 0, 0, kUploadPage, 98, 5310, 2985, 75, false, false},
};

const ControlSpec* FindSpec(int id) {
    for (const ControlSpec& spec : kControls)
        if (spec.id == id) return &spec;
    return nullptr;
}

std::size_t SlotOf(int id) { return static_cast<std::size_t>(id - kTabControl); }

unique_hmenu CreateMainMenu() {
    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, kMenuExit, "E&xit");
    HMENU help = CreatePopupMenu();
    AppendMenuA(help, MF_STRING, kMenuAbout, "&About");
    unique_hmenu bar(CreateMenu());
    AppendMenuA(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");
    return bar;
}

bool IsPushButton(HWND hwnd) {
    char cls[16] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") != 0) return false;
    const LONG type = GetWindowLongA(hwnd, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

}  // namespace

MainWindow::MainWindow(const MainWindowServices& services) : services_(services) {
    wantsVisible_.resize(std::size(kControls), false);
    controls_.resize(std::size(kControls), nullptr);
    for (const ControlSpec& spec : kControls) {
        wantsVisible_[SlotOf(spec.id)] = spec.visibleAtStart;
        tabOrder_.push_back(spec.id);
    }
}

MainWindow::~MainWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

std::unique_ptr<MainWindow> MainWindow::Create(HINSTANCE instance, const MainWindowServices& services) {
    static bool registered = false;
    if (!registered) {
        // The common controls the window is made of.
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance;
        wc.hIcon = ProgramIcon(instance);
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kMainWindowClass;
        if (!RegisterClassExA(&wc)) return nullptr;
        registered = true;
    }

    std::unique_ptr<MainWindow> window(new MainWindow(services));
    unique_hmenu menu = CreateMainMenu();
    HWND hwnd = CreateWindowExA(WS_EX_CONTROLPARENT, kMainWindowClass, kAppTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu.get(), instance,
                                window.get());
    if (!hwnd) return nullptr;
    menu.release();  // the window's now: destroyed with it
    if (!window->Load()) return nullptr;  // the destructor takes the window down
    return window;
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
        case WM_SETCURSOR:
            // The hourglass stays while an upload runs, wherever the mouse goes.
            if (busyPointer_ && LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorA(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
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
    dpi_ = WindowDpi(hwnd);
    font_ = CreateMessageFont();

    // Client area of the stated size, wherever the system puts the window.
    RECT frame{0, 0, Twips(kClientWidth), Twips(kClientHeight)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)), TRUE,
                       static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE)));
    SetWindowPos(hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    CreateControls();
    return true;
}

int MainWindow::Twips(int twips) const { return TwipsToPixels(twips, dpi_); }

void MainWindow::CreateControls() {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd_, GWLP_HINSTANCE));
    for (const ControlSpec& spec : kControls) {
        int height = Twips(spec.height);
        // A drop-down list's height includes its open list.
        if (spec.id == kEventList) height += Twips(spec.height) * static_cast<int>(kEventTypes.size());
        // Page controls are children of the tab control (it lies at the
        // window's corner, so positions are the same), so that it paints its
        // page behind them; they are shown by their page.
        const bool onPage = spec.page >= 0;
        HWND parent = onPage ? controls_[SlotOf(kTabControl)] : hwnd_;
        HWND control = CreateWindowExA(spec.exStyle, spec.windowClass, spec.text,
                                       WS_CHILD | (onPage ? 0 : WS_VISIBLE) | spec.style, Twips(spec.left),
                                       Twips(spec.top), Twips(spec.width), height, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), instance, nullptr);
        controls_[SlotOf(spec.id)] = control;
        if (font_) SetWindowFont(control, font_.get(), FALSE);
    }
    for (int id : {kTabControl, kVinField, kRouteField, kDealerField, kScanList}) {
        SetWindowSubclass(Control(id), ControlProc, static_cast<UINT_PTR>(id), reinterpret_cast<DWORD_PTR>(this));
    }

    HWND tab = Control(kTabControl);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>("Scan");
    TabCtrl_InsertItem(tab, kScanPage, &item);
    item.pszText = const_cast<char*>("Upload");
    TabCtrl_InsertItem(tab, kUploadPage, &item);
    RECT first{};
    TabCtrl_GetItemRect(tab, 0, &first);
    // Two tabs sharing the row's width equally.
    const int rowWidth = Twips(3165) - 4;
    TabCtrl_SetItemSize(tab, rowWidth / 2, first.bottom - first.top);

    // A whole shift of scans, beyond the edit control's usual limit on
    // inserted text.
    SendMessageA(Control(kScanList), EM_SETLIMITTEXT, 0, 0);
    SendMessageA(Control(kUploadProgress), PBM_SETRANGE32, 0, kProgressSteps);
    ApplyVisibility();
}

bool MainWindow::Load() {
    UpdateClock();

    HWND list = Control(kEventList);
    ComboBox_ResetContent(list);
    for (const char* item : kEventTypes) ComboBox_AddString(list, item);
    ComboBox_SetCurSel(list, -1);
    FitDropDownWidth(list);

    const Status loaded = LoadSettingsAtStartUp(services_.registry, settings_);
    if (!loaded.ok()) {
        MessageBoxA(nullptr, loaded.description.c_str(), kAppTitle, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    const std::string missing = MissingSettingsWarning(settings_);
    if (!missing.empty()) MessageBoxA(nullptr, missing.c_str(), kAppTitle, MB_OK | MB_ICONEXCLAMATION);
    scan_ = std::make_unique<ScanController>(*this, services_.clock, services_.files, settings_);
    SetTimer(hwnd_, kClockTimer, kClockIntervalMs, nullptr);
    return true;
}

void MainWindow::FitDropDownWidth(HWND list) {
    // The box keeps its width; its open list is made wide enough for the
    // longest event, which would be cut off otherwise.
    const unique_hdc_window dc(list);
    const unique_select_object selected(dc.get(), font_.get());
    int widest = 0;
    for (const char* item : kEventTypes) {
        SIZE size{};
        GetTextExtentPoint32A(dc.get(), item, lstrlenA(item), &size);
        widest = std::max<int>(widest, size.cx);
    }
    SendMessageA(list, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + 2 * GetSystemMetrics(SM_CXEDGE) + Twips(120)), 0);
}

void MainWindow::UpdateClock() {
    SetLabelText(kClockLabel, GeneralDateText(services_.clock.Now()));
}

void MainWindow::OnTimer(HWND hwnd, UINT id) {
    if (id != kClockTimer) return;
    // The next tick comes a full interval after this update.
    KillTimer(hwnd, kClockTimer);
    UpdateClock();
    SetTimer(hwnd, kClockTimer, kClockIntervalMs, nullptr);
}

void MainWindow::OnCommand(HWND, int id, HWND, UINT code) {
    switch (id) {
        case kMenuExit: SendMessageA(hwnd_, WM_CLOSE, 0, 0); break;
        case kMenuAbout: ShowAboutDialog(hwnd_); break;
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
    if (!scan_ || index < 0 || (code == CBN_SELCHANGE && ComboBox_GetDroppedState(list))) return;
    // A pick that changes the item sends both notifications, a pick of the
    // item already chosen only the end of the selection: one choice per pick.
    if (choiceRunning_) return;
    // Cleared once every notification of this pick has been handled.
    choiceRunning_ = PostMessageA(hwnd_, kChoiceDone, 0, 0) != FALSE;
    scan_->ChooseEvent(index);
}

LRESULT MainWindow::OnNotify(HWND, int id, NMHDR* header) {
    if (id == kTabControl && header->code == TCN_SELCHANGE) OnPageChanged();
    return 0;
}

HWND MainWindow::Control(int id) const {
    const std::size_t slot = SlotOf(id);
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

// The Send Data command's window side.
class MainWindow::UploadView final : public ISendDataView {
public:
    explicit UploadView(MainWindow& window) : window_(window) {}
    void SetLogText(const std::string& text) override {
        SetWindowTextA(window_.Control(kUploadLog), text.c_str());
    }
    void SetBusyPointer(bool busy) override {
        window_.busyPointer_ = busy;
        SetCursor(LoadCursorA(nullptr, busy ? IDC_WAIT : IDC_ARROW));
    }
    void ShowMessage(const std::string& text) override { window_.ShowMessage(text); }
    void EnableSendData(bool enabled) override { EnableWindow(window_.Control(kSendDataButton), enabled); }
    void ShowProgress(std::uint64_t sent, std::uint64_t total) override {
        HWND bar = window_.Control(kUploadProgress);
        const auto steps = total == 0 ? kProgressSteps : static_cast<int>(std::min(sent, total) * kProgressSteps / total);
        SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(steps), 0);
        if (!window_.wantsVisible_[SlotOf(kUploadProgress)]) window_.SetControlVisible(kUploadProgress, true);
    }
    void HideProgress() override { window_.SetControlVisible(kUploadProgress, false); }
    std::function<void()> UploadWake() override {
        HWND hwnd = window_.hwnd_;
        return [hwnd] { PostMessageA(hwnd, kUploadEvents, 0, 0); };
    }

private:
    MainWindow& window_;
};

SendDataCommand& MainWindow::SendData() {
    if (!sendData_) {
        uploadView_ = std::make_unique<UploadView>(*this);
        sendData_ = std::make_unique<SendDataCommand>(services_.files, services_.clock, services_.upload,
                                                      *uploadView_, settings_);
    }
    return *sendData_;
}

void MainWindow::OnSendData() {
    SendData().Run();
    CloseIfLeaving();
}

void MainWindow::OnUploadEvents() {
    if (!sendData_) return;
    sendData_->OnUploadEvents();
    CloseIfLeaving();
}

// Closed while an upload ran: the window goes once the upload has ended.
void MainWindow::CloseIfLeaving() {
    if (closeAfterUpload_ && !sendData_->Running() && hwnd_) DestroyWindow(hwnd_);
}

void MainWindow::ApplyVisibility() {
    const int page = CurrentPage() < 0 ? kScanPage : CurrentPage();
    HWND focus = GetFocus();
    for (const ControlSpec& spec : kControls) {
        if (spec.page < 0) continue;
        const bool show = wantsVisible_[SlotOf(spec.id)] && spec.page == page;
        HWND control = Control(spec.id);
        ShowWindow(control, show ? SW_SHOWNA : SW_HIDE);
        if (!show && focus == control) SetFocus(Control(kTabControl));
    }
}

void MainWindow::SetControlVisible(int id, bool visible) {
    wantsVisible_[SlotOf(id)] = visible;
    ApplyVisibility();
}

bool MainWindow::PreTranslateMessage(MSG& msg) {
    if (msg.message != WM_KEYDOWN || !(msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd))) return false;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (msg.wParam == VK_TAB && GetKeyState(VK_MENU) >= 0) {
        if (ctrl) {
            // The page change puts the focus where a click on the tab would.
            SelectPage(CurrentPage() == kScanPage ? kUploadPage : kScanPage);
        } else {
            MoveFocus(!shift);
        }
        SendMessageA(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        return true;
    }
    if (msg.wParam == VK_RETURN && IsPushButton(msg.hwnd)) {
        if (IsWindowEnabled(msg.hwnd)) SendMessageA(msg.hwnd, BM_CLICK, 0, 0);
        return true;
    }
    return false;
}

void MainWindow::MoveFocus(bool forward) {
    HWND focus = GetFocus();
    int current = -1;
    const int count = static_cast<int>(tabOrder_.size());
    for (int i = 0; i < count; ++i) {
        HWND control = Control(tabOrder_[i]);
        if (control == focus || IsChild(control, focus)) current = i;
    }
    for (int step = 1; step <= count; ++step) {
        int index = current < 0 ? (forward ? step - 1 : count - step)
                                : ((current + (forward ? step : -step)) % count + count) % count;
        const ControlSpec& spec = *FindSpec(tabOrder_[index]);
        HWND control = Control(spec.id);
        if (!spec.tabStop || !IsWindowVisible(control) || !IsWindowEnabled(control)) continue;
        SetFocus(control);
        if (lstrcmpA(spec.windowClass, WC_EDITA) == 0) Edit_SetSel(control, 0, -1);
        return;
    }
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

void MainWindow::OnClose(HWND hwnd) {
    if (sendData_ && sendData_->Running()) {
        // Stop the upload; the window closes when it has ended (within a
        // second, or once a partial file on the server has been removed).
        closeAfterUpload_ = true;
        sendData_->Abandon();
        return;
    }
    DestroyWindow(hwnd);
}

void MainWindow::OnDestroy(HWND hwnd) {
    KillTimer(hwnd, kClockTimer);
    PostQuitMessage(0);
}

// The tab control, the scan fields and the scan list see their messages here
// first; `id` is the control's.
LRESULT CALLBACK MainWindow::ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data) {
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, ControlProc, id);
    const std::optional<LRESULT> handled =
        reinterpret_cast<MainWindow*>(data)->OnControlMessage(static_cast<int>(id), msg, wParam, lParam);
    return handled ? *handled : DefSubclassProc(hwnd, msg, wParam, lParam);
}

std::optional<LRESULT> MainWindow::OnControlMessage(int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (id == kTabControl) {
        switch (msg) {
            // The page controls' notifications belong to the main window.
            case WM_COMMAND:
            case WM_NOTIFY:
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORLISTBOX:
            case WM_CTLCOLORBTN:
                if (hwnd_) return SendMessageA(hwnd_, msg, wParam, lParam);
                break;
            default: break;
        }
        return std::nullopt;
    }
    if (msg != WM_CHAR) return std::nullopt;
    if (id == kScanList) {
        // A scan fired while the operator looks at the list goes where the
        // sequence waits for it, so that it is saved like any other.
        // Control characters stay with the list (Ctrl+C copies).
        if ((wParam == '\r' || (wParam >= ' ' && wParam != 0x7F)) && scan_ && wantsVisible_[SlotOf(kVinField)]) {
            HWND field = FieldHandle(scan_->AwaitedField());
            SetFocus(field);
            return SendMessageA(field, WM_CHAR, wParam, lParam);
        }
        return std::nullopt;
    }
    if (wParam != '\r') return std::nullopt;
    // Enter in a scan field runs the field's step and is consumed: no
    // character, no sound from the edit control.
    const ScanField field = id == kVinField ? ScanField::Vin : id == kRouteField ? ScanField::Route : ScanField::Dealer;
    if (scan_) scan_->OnEnter(field);
    return 0;
}

HWND MainWindow::FieldHandle(ScanField field) const {
    switch (field) {
        case ScanField::Vin: return Control(kVinField);
        case ScanField::Route: return Control(kRouteField);
        case ScanField::Dealer: return Control(kDealerField);
    }
    return nullptr;
}

std::string MainWindow::FieldText(ScanField field) { return WindowText(FieldHandle(field)); }

void MainWindow::SetFieldText(ScanField field, const std::string& text) {
    SetWindowTextA(FieldHandle(field), text.c_str());
}

void MainWindow::ShowVinField(bool visible) {
    wantsVisible_[SlotOf(kVinLabel)] = visible;
    SetControlVisible(kVinField, visible);
}

void MainWindow::ShowRouteAndDealer(bool visible) {
    for (int id : {kRouteLabel, kRouteField, kDealerLabel}) wantsVisible_[SlotOf(id)] = visible;
    SetControlVisible(kDealerField, visible);
}

void MainWindow::FocusField(ScanField field) { SetFocus(FieldHandle(field)); }

void MainWindow::SelectFieldText(ScanField field) { Edit_SetSel(FieldHandle(field), 0, -1); }

void MainWindow::SetStatus(const std::string& text, std::uint32_t colour) {
    statusColour_ = colour;
    SetLabelText(kStatusLabel, text);
}

std::string MainWindow::EventText() {
    HWND list = Control(kEventList);
    const int selected = ComboBox_GetCurSel(list);
    if (selected < 0) return {};
    std::string text(static_cast<std::size_t>(ComboBox_GetLBTextLen(list, selected)) + 1, '\0');
    const int length = ComboBox_GetLBText(list, selected, &text[0]);
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}

std::string MainWindow::ClockText() { return WindowText(Control(kClockLabel)); }

void MainWindow::AddScanListEntry(const std::string& entry) {
    // Inserted in front of the earlier entries, which the control keeps as they
    // are: setting the whole text again would lay out every entry anew, and
    // each save would take longer than the one before.
    HWND list = Control(kScanList);
    DWORD selStart = 0, selEnd = 0;
    SendMessageA(list, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
    const int firstShown = static_cast<int>(SendMessageA(list, EM_GETFIRSTVISIBLELINE, 0, 0));
    const int linesBefore = static_cast<int>(SendMessageA(list, EM_GETLINECOUNT, 0, 0));
    if (selStart != 0 || selEnd != 0) SendMessageA(list, EM_SETSEL, 0, 0);
    SendMessageA(list, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(entry.c_str()));
    // A selection stays on the text it was made on; a caret at the top stays there.
    const DWORD shift = selEnd == 0 ? 0 : static_cast<DWORD>(entry.size());
    SendMessageA(list, EM_SETSEL, selStart + shift, selEnd + shift);
    // Seen from the top, the list shows the newest entry; scrolled down to look
    // back, it keeps showing the lines the operator was reading.
    const int added = static_cast<int>(SendMessageA(list, EM_GETLINECOUNT, 0, 0)) - linesBefore;
    const int wanted = firstShown == 0 ? 0 : firstShown + added;
    const int shown = static_cast<int>(SendMessageA(list, EM_GETFIRSTVISIBLELINE, 0, 0));
    if (shown != wanted) SendMessageA(list, EM_LINESCROLL, 0, wanted - shown);
}

void MainWindow::Beep() { services_.beeper.Beep(); }

void MainWindow::ShowMessage(const std::string& text) {
    MessageBoxA(hwnd_, text.c_str(), kAppTitle, MB_OK | MB_ICONEXCLAMATION);
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
