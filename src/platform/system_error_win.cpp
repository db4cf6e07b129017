#include "platform/system_error_win.h"

#include "platform/unique_handle_win.h"

namespace quendrel {

std::string SystemErrorText(DWORD code, HMODULE module) {
    char* buffer = nullptr;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    if (module) flags |= FORMAT_MESSAGE_FROM_HMODULE;
    const DWORD length = FormatMessageA(flags, module, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    const unique_hlocal owner(buffer);
    std::string text;
    if (length && buffer) text.assign(buffer, length);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    if (text.empty()) text = "Error " + std::to_string(code) + ".";
    return text;
}

}  // namespace quendrel
