#include "app/dialog_keys_win.h"

#include <windowsx.h>

namespace quendrel {

namespace {

bool HasClass(HWND window, const char* windowClass) {
    char found[16] = "";
    GetClassNameA(window, found, sizeof found);
    return lstrcmpiA(found, windowClass) == 0;
}

}  // namespace

void MoveFocusToNextTabStop(const std::vector<HWND>& controls, bool forward) {
    HWND focus = GetFocus();
    int current = -1;
    const int count = static_cast<int>(controls.size());
    for (int i = 0; i < count; ++i) {
        if (controls[i] == focus || IsChild(controls[i], focus)) current = i;
    }
    for (int step = 1; step <= count; ++step) {
        const int index = current < 0 ? (forward ? step - 1 : count - step)
                                      : ((current + (forward ? step : -step)) % count + count) % count;
        HWND control = controls[index];
        if (!(GetWindowLongA(control, GWL_STYLE) & WS_TABSTOP) || !IsWindowVisible(control) ||
            !IsWindowEnabled(control))
            continue;
        SetFocus(control);
        if (HasClass(control, "Edit")) Edit_SetSel(control, 0, -1);
        return;
    }
}

bool ClickFocusedPushButton(HWND focus) {
    if (!HasClass(focus, "Button")) return false;
    const LONG type = GetWindowLongA(focus, GWL_STYLE) & BS_TYPEMASK;
    if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) return false;
    if (IsWindowEnabled(focus)) SendMessageA(focus, BM_CLICK, 0, 0);
    return true;
}

}  // namespace quendrel
