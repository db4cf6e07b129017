#include "platform/beep_win.h"

#include <windows.h>

namespace quendrel {

void Win32Beeper::Beep() { MessageBeep(MB_OK); }

}  // namespace quendrel
