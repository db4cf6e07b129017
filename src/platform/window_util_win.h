#pragma once
// What the program's windows share: their text, their scale, font and icon.
#include <windows.h>

#include <string>

#include "platform/unique_handle_win.h"

namespace quendrel {

std::string WindowText(HWND window);
// Dots per inch the window is drawn at.
UINT WindowDpi(HWND window);
// Layouts are given in twips, 1440 to the inch.
inline int TwipsToPixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }
// The window's outer size for a client area of the given twips at its DPI,
// with its frame, caption and menu bar.
SIZE OuterSize(HWND window, int widthTwips, int heightTwips);
// The system's message font, for every control. Null when the system cannot
// say: the controls then keep the system font (a stock font must not reach an
// owner, which would delete it).
unique_hfont CreateMessageFont();
// The program's icon; the standard one for a test program, which has none.
HICON ProgramIcon(HINSTANCE instance);

}  // namespace quendrel
