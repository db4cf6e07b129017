#include "app/check_mode_win.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "app/working_folder_claim_win.h"
#include "config/settings_rules.h"
#include "platform/text.h"
#include "platform/unique_handle_win.h"
#include "product.h"
#include "upload/server_check.h"

namespace quendrel {

namespace {

// Standard output where the caller gave one; otherwise the console of the
// program that started this one, where there is one.
void WriteOut(const std::string& text) {
    std::string lines;
    for (const char c : text) lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    unique_hfile console;
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
        console.reset(::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        out = console.get();
    }
    DWORD written = 0;
    ::WriteFile(out, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
}

}  // namespace

CheckRequest CheckRequested(const char* commandLine) {
    CheckRequest request;
    const std::string line = commandLine ? commandLine : "";
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
        const std::string word = Lowered(line.substr(at, end - at));
        if (word == "/check" || word == "-check") request.wanted = true;
        if (word == "/quiet" || word == "-quiet") request.quiet = true;
        at = end + 1;
    }
    return request;
}

int RunCheck(IRegistry& registry, IFileSystem& files, bool quiet) {
    LocationSettings settings;
    const Status loaded = LoadSettingsAtStartUp(registry, settings);
    ServerCheck check;
    if (loaded.ok()) {
        const std::string folder = WorkingFolder();
        check = CheckServer(settings, files, folder.empty() ? "." : folder);
    } else {
        check.report = "Quendrel's check of this PC\n" + loaded.description + "\nResult: Quendrel does not start here.\n";
    }
    if (QuendrelRunsInThisFolder()) {
        check.report += "Note: a Quendrel is running in this folder. It read its settings when it started, so new "
                        "settings take effect only once it is closed and started again.\n";
    }
    if (quiet) {
        WriteOut(check.report);
    } else {
        ::MessageBoxA(nullptr, check.report.c_str(), kAppTitle,
                      MB_OK | (check.uploadWouldWork ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
    }
    return check.uploadWouldWork ? 0 : 1;
}

}  // namespace quendrel
