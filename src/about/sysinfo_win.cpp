#include "about/sysinfo_win.h"

#include "platform/unique_handle_win.h"

namespace quendrel {

namespace {

HKEY KeyHkey(RegKeyToken key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

bool Win32SysInfoHost::OpenLocalMachineKey(const std::string& subkey, RegKeyToken& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &opened) !=
        ERROR_SUCCESS) {
        return false;
    }
    key = reinterpret_cast<RegKeyToken>(opened);
    return true;
}

bool Win32SysInfoHost::QueryValue(RegKeyToken key, const std::string& name, RegValueType& type,
                                  unsigned char* data, std::uint32_t& size) {
    DWORD valueType = 0;
    DWORD byteCount = size;
    const LONG status = RegQueryValueExA(KeyHkey(key), name.c_str(), nullptr, &valueType, data, &byteCount);
    type = valueType == REG_SZ ? RegValueType::Text : valueType == REG_DWORD ? RegValueType::Number
                                                                              : RegValueType::Other;
    size = byteCount;
    return status == ERROR_SUCCESS;
}

void Win32SysInfoHost::CloseKey(RegKeyToken key) { RegCloseKey(KeyHkey(key)); }

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
