#include "about/sysinfo_win.h"

#include <vector>

#include "platform/unique_handle_win.h"

namespace quendrel {

namespace {

HKEY RootHkey(RegRootKey root) {
    // Predefined keys are sign-extended 32-bit values, as the SDK defines them.
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

HKEY KeyHkey(RegKeyToken key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

std::int32_t Win32SysInfoHost::OpenKey(RegRootKey root, const std::string& subkey, std::uint32_t options,
                                       std::uint32_t access, RegKeyToken& key) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(RootHkey(root), subkey.c_str(), options, access | KEY_WOW64_32KEY, &opened);
    if (status == ERROR_SUCCESS) key = reinterpret_cast<RegKeyToken>(opened);
    return status;
}

std::int32_t Win32SysInfoHost::QueryValue(RegKeyToken key, const std::string& name, std::uint32_t& type,
                                          unsigned char* data, std::uint32_t& size) {
    DWORD valueType = 0;
    DWORD byteCount = size;
    const LONG status = RegQueryValueExA(KeyHkey(key), name.c_str(), nullptr, &valueType, data, &byteCount);
    type = valueType;
    size = byteCount;
    return status;
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
    std::string commandLine = "\"" + path + "\"";
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    if (!CreateProcessA(path.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
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
