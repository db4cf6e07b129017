#pragma once
// The keys a dialog handles, for the main window, which is no dialog: Tab and
// Shift+Tab move through the tab stops, Enter clicks the focused push button.
#include <windows.h>

#include <vector>

namespace quendrel {

// Moves the focus to the next (or previous) control of `controls`, in their
// order, that is a visible, enabled tab stop; the text of an edit field it
// lands in is selected.
void MoveFocusToNextTabStop(const std::vector<HWND>& controls, bool forward);
// Enter on a push button: clicks it when enabled. False for other controls.
bool ClickFocusedPushButton(HWND focus);

}  // namespace quendrel
