#pragma once
#include <windows.h>

#include <string>

namespace quendrel {

// The system's text for an error code, without its trailing line end.
std::string SystemErrorText(DWORD code);

}  // namespace quendrel
