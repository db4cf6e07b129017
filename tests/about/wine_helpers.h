#pragma once
// Helpers for the About dialog's suites under Wine: registry values put in
// with Wine's regedit, scratch folders, and driving a modal dialog that runs
// on the test's own thread from a second thread.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace quendrel::testing {

// A Linux path as Wine sees it.
inline std::string WinePath(const std::string& linuxPath) {
    std::string path = "Z:" + linuxPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

inline bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

inline bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Runs a program and waits for it; its exit code, or -1.
inline int RunAndWait(const std::string& application, const std::string& commandLine, DWORD timeoutMs = 60000,
                      const char* workingDir = nullptr) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, workingDir,
                        &startup, &process)) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// A fresh folder under the temporary folder, removed with its files.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name) {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount());
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchFolder() {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((path_ + "\\" + found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Imports REGEDIT4 text with Wine's own regedit.exe (it writes the 64-bit
// view; the 32-bit view is reached through SOFTWARE\Wow6432Node).
inline bool ImportWithRegedit(const std::string& regText) {
    ScratchFolder folder("regimport");
    const std::string file = folder.File("import.reg");
    if (!WriteFileBytes(file, regText)) return false;
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string regedit = std::string(windows) + "\\regedit.exe";
    return RunAndWait(regedit, "regedit.exe /S \"" + file + "\"") == 0;
}

template <typename Predicate>
bool WaitUntil(Predicate done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return true;
}

inline std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

inline std::string TextOf(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

// The visible dialog-class windows of a thread, in the system's order.
inline std::vector<HWND> DialogsOfThread(DWORD threadId) {
    std::vector<HWND> found;
    EnumThreadWindows(
        threadId,
        [](HWND window, LPARAM list) -> BOOL {
            if (IsWindowVisible(window) && ClassOf(window) == "#32770") {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// A visible dialog of `threadId` other than `except`, waited for.
inline HWND WaitForDialog(DWORD threadId, HWND except, int timeoutMs) {
    HWND result = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : DialogsOfThread(threadId)) {
                if (window != except) {
                    result = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return result;
}

// The texts of a message box's static controls, joined by "|".
inline std::string MessageBoxText(HWND box) {
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == "Static" && !TextOf(child).empty()) {
            if (!text.empty()) text += "|";
            text += TextOf(child);
        }
    }
    return text;
}

// Runs `show` (which opens a modal dialog on this thread) while `drive`
// works on the dialog from another thread. Whatever `drive` leaves open is
// closed afterwards, so a failing test cannot hang.
inline void WhileDialogRuns(const std::function<void()>& show, const std::function<void(HWND dialog)>& drive) {
    const DWORD uiThread = GetCurrentThreadId();
    std::thread driver([&] {
        HWND dialog = WaitForDialog(uiThread, nullptr, 10000);
        if (dialog) drive(dialog);
        // Close everything still open on the UI thread, message boxes first.
        WaitUntil(
            [&] {
                std::vector<HWND> open = DialogsOfThread(uiThread);
                for (auto it = open.rbegin(); it != open.rend(); ++it) {
                    PostMessageA(*it, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                    PostMessageA(*it, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                return DialogsOfThread(uiThread).empty();
            },
            10000);
    });
    show();
    driver.join();
}

}  // namespace quendrel::testing
