#pragma once
#include <windows.h>

#include <string>

#include "platform/status.h"

namespace quendrel {

// The system's text for an error code, without its trailing line end.
std::string SystemErrorText(DWORD code);
// A failure described by the system's text for the calling thread's last error.
Status LastErrorStatus();

}  // namespace quendrel
