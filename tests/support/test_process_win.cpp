#include <windows.h>

#include "support/test_process.h"
#include "support/win_support_win.h"

namespace quendrel::testing {

std::string HostPath(const std::string& linuxPath) { return WinePath(linuxPath); }

bool SystemTlsChecksCertificates() {
    return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr;
}

std::unique_ptr<StartedProgram> StartLinuxProgram(const std::string& commandLine, std::string& error) {
    std::string command = commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        error = "error " + std::to_string(::GetLastError());
        return nullptr;
    }
    // Wine hands back a stand-in for the Linux process, which does not end
    // with it and cannot be waited for.
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return std::make_unique<StartedProgram>();
}

}  // namespace quendrel::testing
