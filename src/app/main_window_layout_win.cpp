#include "app/main_window_layout_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "platform/window_util_win.h"
#include "scan/event_types.h"

namespace quendrel {

namespace {

// Size of the window's client area, in twips.
constexpr int kClientWidth = 3180;
constexpr int kClientHeight = 6015;
// The tab row lies inside the tab control's border, two pixels on each side.
constexpr int kTabRowInset = 4;

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
constexpr DWORD kLineEdit = ES_AUTOHSCROLL | WS_TABSTOP;
constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;

const std::vector<ControlSpec> kControls = {
    {kTabControl, WC_TABCONTROLA, "", WS_TABSTOP | TCS_FIXEDWIDTH, WS_EX_CONTROLPARENT, kWindowItself, 0, 0, 3165, 6000, true},
    {kEventList, WC_COMBOBOXA, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, kScanPage, 135, 1170, 2985, 315, true},
    {kActionLabel, WC_STATICA, "Action", kLabel, 0, kScanPage, 98, 810, 2985, 315, true},
    {kClockLabel, WC_STATICA, "", SS_CENTER | SS_NOPREFIX, 0, kScanPage, 98, 450, 2985, 315, true},
    {kVinLabel, WC_STATICA, "VIN", kLabel, 0, kScanPage, 98, 1530, 2985, 315, false},
    {kVinField, WC_EDITA, "", kLineEdit, WS_EX_CLIENTEDGE, kScanPage, 98, 1890, 2985, 315, false},
    {kRouteLabel, WC_STATICA, "Route", kLabel, 0, kScanPage, 98, 2250, 2985, 315, false},
    {kRouteField, WC_EDITA, "", kLineEdit, WS_EX_CLIENTEDGE, kScanPage, 98, 2610, 2985, 315, false},
    {kDealerLabel, WC_STATICA, "Dealer", kLabel, 0, kScanPage, 98, 2970, 2985, 315, false},
    {kDealerField, WC_EDITA, "", kLineEdit, WS_EX_CLIENTEDGE, kScanPage, 98, 3330, 2985, 315, false},
    {kEnterButton, WC_BUTTONA, "Enter", kButton | WS_DISABLED, 0, kScanPage, 98, 5445, 2985, 465, false},
    // The scan list records what was saved: read-only, its text can still be
    // selected, copied and scrolled.
    {kScanList, WC_EDITA, "", ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL | WS_TABSTOP,
     WS_EX_CLIENTEDGE, kScanPage, 98, 4050, 2985, 1320, true},
    {kStatusLabel, WC_STATICA, "", kLabel | SS_ENDELLIPSIS, 0, kScanPage, 98, 3690, 2985, 285, true},
    {kSendDataButton, WC_BUTTONA, "Send Data", kButton, 0, kUploadPage, 98, 5415, 2985, 510, true},
    {kUploadLog, WC_EDITA, "", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_TABSTOP, WS_EX_CLIENTEDGE,
     kUploadPage, 98, 585, 2985, 4695, true},
    // In the gap between the log and the button, shown only while an upload runs.
    {kUploadProgress, PROGRESS_CLASSA, "", 0, 0, kUploadPage, 98, 5310, 2985, 75, false},
};

const ControlSpec& ControlSpecOf(int id) { return kControls[ControlSlot(id)]; }

void FillEventList(HWND list, HFONT font, UINT dpi) {
    for (const char* item : kEventTypes) ComboBox_AddString(list, item);
    ComboBox_SetCurSel(list, -1);
    // The box keeps its width; its open list is made wide enough for the
    // longest event, which would be cut off otherwise.
    const unique_hdc_window dc(list);
    const unique_select_object selected(dc.get(), font);
    int widest = 0;
    for (const char* item : kEventTypes) {
        SIZE size{};
        GetTextExtentPoint32A(dc.get(), item, lstrlenA(item), &size);
        widest = std::max<int>(widest, size.cx);
    }
    const int margin = 2 * GetSystemMetrics(SM_CXEDGE) + TwipsToPixels(120, dpi);
    SendMessageA(list, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + margin), 0);
}

void AddPages(HWND tab, UINT dpi) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>("Scan");
    TabCtrl_InsertItem(tab, kScanPage, &item);
    item.pszText = const_cast<char*>("Upload");
    TabCtrl_InsertItem(tab, kUploadPage, &item);
    RECT first{};
    TabCtrl_GetItemRect(tab, 0, &first);
    // Two tabs sharing the row's width equally.
    const int rowWidth = TwipsToPixels(ControlSpecOf(kTabControl).width, dpi) - kTabRowInset;
    TabCtrl_SetItemSize(tab, rowWidth / 2, first.bottom - first.top);
}

}  // namespace

const std::vector<ControlSpec>& MainWindowControls() { return kControls; }

void SizeMainWindow(HWND window) {
    // Client area of the stated size, wherever the system puts the window.
    const SIZE outer = OuterSize(window, kClientWidth, kClientHeight);
    SetWindowPos(window, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<HWND> CreateMainWindowControls(HWND window, UINT dpi, HFONT font) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    std::vector<HWND> controls(kControls.size(), nullptr);
    for (const ControlSpec& spec : kControls) {
        int height = TwipsToPixels(spec.height, dpi);
        // A drop-down list's height includes its open list.
        if (spec.id == kEventList) height *= 1 + static_cast<int>(kEventTypes.size());
        // Page controls are children of the tab control (it lies at the
        // window's corner, so positions are the same), so that it paints its
        // page behind them; they are shown by their page.
        const bool onPage = spec.page != kWindowItself;
        HWND parent = onPage ? controls[ControlSlot(kTabControl)] : window;
        HWND control = CreateWindowExA(spec.exStyle, spec.windowClass, spec.text,
                                       WS_CHILD | (onPage ? 0 : WS_VISIBLE) | spec.style, TwipsToPixels(spec.left, dpi),
                                       TwipsToPixels(spec.top, dpi), TwipsToPixels(spec.width, dpi), height, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), instance, nullptr);
        controls[ControlSlot(spec.id)] = control;
        if (font) SetWindowFont(control, font, FALSE);
    }
    AddPages(controls[ControlSlot(kTabControl)], dpi);
    FillEventList(controls[ControlSlot(kEventList)], font, dpi);
    // A whole shift of scans, beyond the edit control's usual limit on
    // inserted text.
    SendMessageA(controls[ControlSlot(kScanList)], EM_SETLIMITTEXT, 0, 0);
    SendMessageA(controls[ControlSlot(kUploadProgress)], PBM_SETRANGE32, 0, kProgressSteps);
    return controls;
}

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

void InsertAtTop(HWND list, const std::string& entry) {
    // Inserted in front of the earlier entries, which the control keeps as they
    // are: setting the whole text again would lay out every entry anew, and
    // each save would take longer than the one before.
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

}  // namespace quendrel
