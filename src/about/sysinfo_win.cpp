#include "about/sysinfo_win.h"

#include "platform/unique_handle_win.h"

namespace quendrel {

bool Win32SysInfoHost::FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32SysInfoHost::StartProgram(const std::string& path) {
    if (path.empty()) return false;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + path + "\"";  // CreateProcessA may write into it
    if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    // The tool runs on its own; nothing waits for it or watches it.
    unique_handle thread(process.hThread);
    unique_handle processHandle(process.hProcess);
    AllowSetForegroundWindow(process.dwProcessId);
    return true;
}

void Win32SysInfoHost::ShowMessage(const std::string& text, const std::string& caption) {
    MessageBoxA(owner_, text.c_str(), caption.c_str(), MB_OK);
}

}  // namespace quendrel
