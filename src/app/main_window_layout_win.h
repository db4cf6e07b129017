#pragma once
// Where the main window's controls are and how they are made.
#include <windows.h>

#include <string>
#include <vector>

#include "control_ids.h"
#include "platform/unique_handle_win.h"

namespace quendrel {

inline constexpr int kScanPage = 0;
inline constexpr int kUploadPage = 1;
inline constexpr int kWindowItself = -1;  // the page of the tab control itself
// The progress bar's range: the share of the batch sent, in thousandths.
inline constexpr int kProgressSteps = 1000;

struct ControlSpec {
    int id;
    const char* windowClass;
    const char* text;
    DWORD style;
    DWORD exStyle;
    int page;  // kScanPage, kUploadPage or kWindowItself
    int left, top, width, height;  // twips, from the tab control's top-left corner
    bool visibleAtStart;
};

// A control's place in lists held by control id.
inline std::size_t ControlSlot(int id) { return static_cast<std::size_t>(id - kTabControl); }
// Every control, in tab order.
const std::vector<ControlSpec>& MainWindowControls();

// Sizes the window for its client area.
void SizeMainWindow(HWND window);
// Makes every control, hidden where its page is not shown, with `font`; the
// result holds them by control id, from kTabControl on.
std::vector<HWND> CreateMainWindowControls(HWND window, UINT dpi, HFONT font);
unique_hmenu CreateMainMenu();

// Puts `entry` in front of the list's earlier text, keeping the operator's
// selection and the lines in view.
void InsertAtTop(HWND list, const std::string& entry);

}  // namespace quendrel
