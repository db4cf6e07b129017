#pragma once
#include <windows.h>

#include "platform/registry.h"

namespace quendrel {

// Control identifiers of the About dialog (OK is IDOK; Esc and the close box
// send IDCANCEL).
inline constexpr int kAboutIconId = 1001;
inline constexpr int kAboutSysInfoId = 1002;
inline constexpr int kAboutTitleId = 1003;
inline constexpr int kAboutVersionId = 1004;
inline constexpr int kAboutDescriptionId = 1005;
inline constexpr int kAboutDisclaimerId = 1006;

// Shows the About dialog modally over `owner` (which is disabled meanwhile)
// and returns when it has been closed. System Info looks for its tool in
// `registry`.
void ShowAboutDialog(HWND owner, IRegistry& registry);

}  // namespace quendrel
