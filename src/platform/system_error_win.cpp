#include "platform/system_error_win.h"

#include "platform/text.h"
#include "platform/unique_handle_win.h"

namespace quendrel {

std::string SystemErrorText(DWORD code) {
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    unique_hlocal buffer;
    // With FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument receives the address of a LocalAlloc'd text.
    const DWORD length = ::FormatMessageA(flags, nullptr, code, 0, reinterpret_cast<char*>(buffer.put()), 0, nullptr);
    std::string text;
    if (length != 0 && buffer) text = TrimmedEnd(std::string(static_cast<const char*>(buffer.get()), length));
    if (!text.empty()) return text;
    return "Error " + std::to_string(code) + ".";
}

Status LastErrorStatus() { return Status::Failed(SystemErrorText(::GetLastError())); }

}  // namespace quendrel
