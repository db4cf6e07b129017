#include "support/win_support_win.h"

#include <shlobj.h>

#include "platform/registry_win.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace quendrel::testing {

int RunAndWait(const std::string& commandLine, DWORD timeoutMs, const char* workingDir) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, workingDir, &si, &pi)) return -1;
    CloseHandle(pi.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

std::string WinePath(const std::string& linuxPath) {
    std::string path = "Z:" + linuxPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string KnownFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

ShortcutTarget ReadShortcut(const std::string& path) {
    char program[MAX_PATH] = {}, folder[MAX_PATH] = {};
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(std::wstring(path.begin(), path.end()).c_str(), STGM_READ))) {
        link->GetPath(program, MAX_PATH, nullptr, 0);
        link->GetWorkingDirectory(folder, MAX_PATH);
    }
    if (file) file->Release();
    if (link) link->Release();
    CoUninitialize();
    return {program, folder};
}

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

namespace {
std::string TempFileName(const char* prefix) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    char name[MAX_PATH];
    GetTempFileNameA(dir, prefix, 0, name);
    return name;
}
}  // namespace

void ImportRegistry(const std::string& regText, bool view32) {
    const std::string file = TempFileName("reg");
    WriteFileBytes(file, regText);
    const std::string command = view32 ? "reg.exe import \"" + file + "\" /reg:32" : "regedit.exe /S \"" + file + "\"";
    const int code = RunAndWait(command);
    DeleteFileA(file.c_str());
    if (code != 0) throw std::runtime_error("registry import failed: " + command);
}

void DeleteLocationKey() {
    RunAndWait("reg.exe delete HKLM\\SOFTWARE\\VOSSEL\\QUENDREL /f /reg:32");
    RunAndWait("reg.exe delete HKLM\\SOFTWARE\\VOSSEL\\QUENDREL /f /reg:64");
}

IRegistry& SystemRegistry() {
    static Win32Registry registry;
    return registry;
}

std::string LocationReg(const std::string& valueLine) {
    return "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VOSSEL\\QUENDREL]\r\n" + valueLine + "\r\n\r\n";
}

ScratchFolder::ScratchFolder(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount());
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
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

TempWorkDir::TempWorkDir() {
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    previous_ = current;
    path_ = TempFileName("qw");
    DeleteFileA(path_.c_str());
    CreateDirectoryA(path_.c_str(), nullptr);
    SetCurrentDirectoryA(path_.c_str());
}

TempWorkDir::~TempWorkDir() {
    SetCurrentDirectoryA(previous_.c_str());
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string full = path_ + "\\" + name;
            if (!DeleteFileA(full.c_str())) {
                SetReadOnly(full, false);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path_.c_str());
}

bool SetReadOnly(const std::string& path, bool readOnly) {
    using UnixFileNameFn = char*(CDECL*)(const WCHAR*);
    const auto unixFileName = reinterpret_cast<UnixFileNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixFileName) return false;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char* unixPath = unixFileName(wide);
    if (!unixPath) return false;
    const std::string command =
        std::string("start.exe /unix /usr/bin/chattr ") + (readOnly ? "+i " : "-i ") + unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    auto writable = [&path] {
        HANDLE probe = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        if (probe == INVALID_HANDLE_VALUE) return false;
        CloseHandle(probe);
        return true;
    };
    if (readOnly && !SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY)) return false;
    if (RunAndWait(command) != 0) return false;
    // `start` does not wait for a Unix program: wait for its effect instead.
    for (int i = 0; i < 200; ++i) {
        if (readOnly ? !writable()
                     : SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) && writable()) {
            return true;
        }
        Sleep(25);
    }
    return false;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void PumpMessages(int ms) {
    PumpUntil([] { return false; }, ms);
}

namespace {
std::function<void(MSG&)>& MessageHandler() {
    static std::function<void(MSG&)> handler;
    return handler;
}
}  // namespace

void SetMessageHandler(std::function<void(MSG&)> handler) { MessageHandler() = std::move(handler); }

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            if (MessageHandler()) {
                MessageHandler()(msg);
            } else {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        if (done()) return true;
        if (GetTickCount() - start >= static_cast<DWORD>(timeoutMs)) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

namespace {
void SendKey(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}
}  // namespace

void PressKey(WORD virtualKey, bool shift, bool ctrl) {
    if (ctrl) SendKey(VK_CONTROL, false);
    if (shift) SendKey(VK_SHIFT, false);
    SendKey(virtualKey, false);
    SendKey(virtualKey, true);
    if (shift) SendKey(VK_SHIFT, true);
    if (ctrl) SendKey(VK_CONTROL, true);
    // Let the keystroke travel through the message loop, as typing would.
    PumpMessages(15);
}

void TypeText(const std::string& text) {
    for (char c : text) {
        const SHORT scan = VkKeyScanA(c);
        if (scan == -1) continue;
        PressKey(LOBYTE(scan), (HIBYTE(scan) & 1) != 0);
    }
}

void ActivateWindow(HWND hwnd) {
    SetForegroundWindow(hwnd);
    SetActiveWindow(hwnd);
    PumpUntil([hwnd] { return GetForegroundWindow() == hwnd; }, 2000);
    PumpMessages(50);
}

std::string MessageBoxText(HWND box) {
    // The text of a message box is its static control (0xFFFF on Windows,
    // 100 on Wine) that is not the icon.
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = "";
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
            std::string text = WindowText(child);
            if (!text.empty()) return text;
        }
    }
    return {};
}

MessageBoxWatcher::MessageBoxWatcher() {
    InitializeCriticalSection(&lock_);
    thread_ = std::thread([this] { Run(); });
}

MessageBoxWatcher::~MessageBoxWatcher() {
    stop_ = true;
    thread_.join();
    DeleteCriticalSection(&lock_);
}

std::vector<MessageBoxWatcher::Seen> MessageBoxWatcher::Boxes() {
    EnterCriticalSection(&lock_);
    std::vector<Seen> copy = seen_;
    LeaveCriticalSection(&lock_);
    return copy;
}

void MessageBoxWatcher::Run() {
    const DWORD process = GetCurrentProcessId();
    while (!stop_) {
        HWND box = nullptr;
        while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(box, &owner);
            if (owner != process || !IsWindowVisible(box)) continue;
            Seen seen{WindowText(box), MessageBoxText(box)};
            EnterCriticalSection(&lock_);
            seen_.push_back(seen);
            LeaveCriticalSection(&lock_);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            Sleep(100);  // give the box time to close before looking again
            break;
        }
        Sleep(20);
    }
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return true;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

std::vector<HWND> DialogsOfThread(DWORD threadId) {
    std::vector<HWND> found;
    EnumThreadWindows(
        threadId,
        [](HWND window, LPARAM list) CALLBACK -> BOOL {
            if (IsWindowVisible(window) && ClassOf(window) == "#32770") {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND WaitForDialog(DWORD threadId, HWND except, int timeoutMs) {
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

void WhileDialogRuns(const std::function<void()>& show, const std::function<void(HWND dialog)>& drive) {
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
