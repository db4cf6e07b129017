// The main window's "Scan" page: the scan fields, the status, the scan list.
#include "app/main_window_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include "platform/text.h"
#include "platform/window_util_win.h"

namespace quendrel {

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
        if ((wParam == '\r' || (wParam >= ' ' && wParam != 0x7F)) && wantsVisible_[ControlSlot(kVinField)]) {
            HWND field = FieldHandle(scan_.AwaitedField());
            SetFocus(field);
            return SendMessageA(field, WM_CHAR, wParam, lParam);
        }
        return std::nullopt;
    }
    if (wParam != '\r') return std::nullopt;
    // Enter in a scan field runs the field's step and is consumed: no
    // character, no sound from the edit control.
    for (const ScanFieldSpec& field : kScanFields)
        if (field.control == id) scan_.OnEnter(field.field);
    return 0;
}

std::string MainWindow::FieldText(ScanField field) { return WindowText(FieldHandle(field)); }

void MainWindow::SetFieldText(ScanField field, const std::string& text) {
    SetWindowTextA(FieldHandle(field), text.c_str());
}

void MainWindow::ShowVinField(bool visible) {
    wantsVisible_[ControlSlot(SpecOf(ScanField::Vin).label)] = visible;
    SetControlVisible(kVinField, visible);
}

void MainWindow::ShowRouteAndDealer(bool visible) {
    for (ScanField field : {ScanField::Route, ScanField::Dealer}) {
        wantsVisible_[ControlSlot(SpecOf(field).label)] = visible;
        wantsVisible_[ControlSlot(SpecOf(field).control)] = visible;
    }
    ApplyVisibility();
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
    return FetchGrowing([&](char* buffer, std::size_t size) -> std::size_t {
        const int needed = ComboBox_GetLBTextLen(list, selected);
        if (needed < 0) return 0;
        if (static_cast<std::size_t>(needed) >= size) return static_cast<std::size_t>(needed);
        return static_cast<std::size_t>(std::max(ComboBox_GetLBText(list, selected, buffer), 0));
    });
}

std::string MainWindow::ClockText() { return WindowText(Control(kClockLabel)); }

void MainWindow::AddScanListEntry(const std::string& entry) { InsertAtTop(Control(kScanList), entry); }

void MainWindow::Beep() { services_.beeper.Beep(); }

void MainWindow::ShowMessage(const std::string& text) {
    MessageBoxA(hwnd_, text.c_str(), kAppTitle, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace quendrel
