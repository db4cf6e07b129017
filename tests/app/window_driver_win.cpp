// Drives the Quendrel of this Wine prefix from outside, for runs that start
// the real program in prefixes of their own (the two-PC case, the torture
// run), where a test's own process cannot reach the window:
//   window_driver texts      prints what the main window shows: one block
//                            per control, "== <control name or id> <window
//                            class>" and its text (CR LF as LF), then
//                            "== focus" and the control that has the focus;
//                            then "== dialog" and the texts of a message box
//                            of the program, where one is open
//   window_driver send-data  opens the "Upload" tab and presses Send Data
//   window_driver close      presses OK on a message box, then closes the window
// Exit code 1 when no Quendrel window is open, 2 when `texts` found a message box.
#include <windows.h>

#include <commctrl.h>

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

// The controls the runs look at, by name; others by their id.
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

// A message box of the program that owns `window`.
HWND MessageBoxOf(HWND window) {
    DialogSearch search{0, nullptr};
    GetWindowThreadProcessId(window, &search.process);
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int PrintTexts(HWND window) {
    EnumChildWindows(window, PrintControl, 0);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui) && gui.hwndFocus) {
        std::printf("== focus\n%s\n", ControlName(gui.hwndFocus).c_str());
    }
    const HWND box = MessageBoxOf(window);
    if (!box) return 0;
    std::printf("== dialog\n");
    EnumChildWindows(box, PrintControl, 0);
    return 2;
}

// As the operator does it, by messages rather than keys: several programs
// may be driven at once on one display, and none needs the keyboard focus.
int PressSendData(HWND window) {
    const HWND tabs = GetDlgItem(window, quendrel::kTabControl);
    SendMessageA(tabs, TCM_SETCURFOCUS, 1, 0);
    PostMessageA(GetDlgItem(tabs, quendrel::kSendDataButton), BM_CLICK, 0, 0);
    return 0;
}

int Close(HWND window) {
    if (const HWND box = MessageBoxOf(window)) SendMessageA(box, WM_COMMAND, IDOK, 0);
    PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "texts";
    HWND window = FindWindowA(quendrel::kMainWindowClass, nullptr);
    if (!window) return 1;
    if (command == "send-data") return PressSendData(window);
    if (command == "close") return Close(window);
    return PrintTexts(window);
}
