#pragma once
#include <windows.h>

#include <string>

namespace quendrel {

// The system's text for a Win32 error code, without its trailing line end.
// `module` is searched first when given (for example wininet.dll's messages).
std::string SystemErrorText(DWORD code, HMODULE module = nullptr);

}  // namespace quendrel
