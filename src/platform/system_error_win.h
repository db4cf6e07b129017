#pragma once
#include <windows.h>

#include <string>

namespace quendrel {

// Where an error code's text is kept: WinINet's codes (12000 and up) have
// theirs in wininet.dll, not in the system's table.
enum class ErrorSource { System, WinInet };

// The system's text for an error code, without its trailing line end. When
// the system has none, a WinINet failure still says that the FTP transfer
// failed.
std::string SystemErrorText(DWORD code, ErrorSource source = ErrorSource::System);

}  // namespace quendrel
