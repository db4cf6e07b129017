// Prints what Quendrel's main window shows, for the torture run: one block per
// control, "== <control name or id> <window class>" followed by the control's text
// (lines as shown, CR LF turned into LF), then "== focus" and the name of the
// control that has the keyboard focus. Exit code 1 when no Quendrel window
// is open, 2 when a message box of the program is open (its text follows).
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/main_window_win.h"

namespace {

std::string TextOf(HWND window) {
    // WM_GETTEXT, not GetWindowText: the control belongs to another process.
    const LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT got = SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(got));
    std::string lines;
    for (char c : text) {
        if (c != '\r') lines.push_back(c);
    }
    return lines;
}

// The controls the torture run looks at, by name; others by their id.
std::string ControlName(HWND window) {
    switch (GetDlgCtrlID(window)) {
        case quendrel::kScanList: return "scan-list";
        case quendrel::kStatusLabel: return "status";
        case quendrel::kUploadLog: return "upload-log";
        case quendrel::kVinField: return "vin";
        default: return std::to_string(GetDlgCtrlID(window));
    }
}

void PrintBlock(HWND window) {
    char windowClass[64] = {};
    GetClassNameA(window, windowClass, sizeof windowClass);
    std::printf("== %s %s\n%s\n", ControlName(window).c_str(), windowClass, TextOf(window).c_str());
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
    PrintBlock(control);
    return TRUE;
}

struct DialogSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    char windowClass[16] = {};
    GetClassNameA(window, windowClass, sizeof windowClass);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->process && std::string(windowClass) == "#32770" && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int main() {
    HWND window = FindWindowA(quendrel::kMainWindowClass, nullptr);
    if (!window) return 1;
    EnumChildWindows(window, PrintControl, 0);
    DialogSearch search{0, nullptr};
    const DWORD thread = GetWindowThreadProcessId(window, &search.process);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(thread, &gui) && gui.hwndFocus) {
        std::printf("== focus\n%s\n", ControlName(gui.hwndFocus).c_str());
    }
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return 0;
    std::printf("== dialog\n");
    EnumChildWindows(search.found, PrintControl, 0);
    return 2;
}
