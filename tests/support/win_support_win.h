#pragma once
// Helpers for tests that run under Wine: the registry through Wine's own
// regedit and reg, private folders, the real input path, message boxes read
// and closed the way an operator would, and modal dialogs driven from a
// second thread.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry.h"
#include "platform/window_util_win.h"

namespace quendrel::testing {

// Runs a program and waits for it; returns its exit code (or -1).
int RunAndWait(const std::string& commandLine, DWORD timeoutMs = 60000, const char* workingDir = nullptr);

// A Linux path as Wine sees it.
std::string WinePath(const std::string& linuxPath);
bool FileExists(const std::string& path);
// A folder of the system's, such as CSIDL_COMMON_APPDATA.
std::string KnownFolder(int csidl);

// The program and working folder a shell shortcut (.lnk) names; empty
// strings when it cannot be read.
struct ShortcutTarget {
    std::string program;
    std::string workingFolder;
};
ShortcutTarget ReadShortcut(const std::string& path);

// Imports REGEDIT4 text with Wine's regedit (the 64-bit view) or, with
// `view32`, with `reg import /reg:32` (the 32-bit view).
void ImportRegistry(const std::string& regText, bool view32 = false);
// Removes HKLM\SOFTWARE\VOSSEL\QUENDREL from both views.
void DeleteLocationKey();
// The real registry, for windows that read it.
IRegistry& SystemRegistry();
// location.reg text setting REGCODE to `valueLine` (e.g. "\"REGCODE\"=\"41\"").
std::string LocationReg(const std::string& valueLine);

// A fresh, empty working directory for the test; the previous one is
// restored and this one removed at the end.
class TempWorkDir {
public:
    TempWorkDir();
    ~TempWorkDir();
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
    std::string previous_;
};

// A fresh folder under the temporary folder, removed with its files; unlike
// TempWorkDir it leaves the working directory alone.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Makes a file read-only for everyone, root included (Wine runs the tests as
// root, who may write read-only files): the read-only attribute plus Linux's
// immutable flag. False when that cannot be done.
bool SetReadOnly(const std::string& path, bool readOnly);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// How the pumps below hand on a message; by default Translate and Dispatch.
// A window test puts the program's own message handling here.
void SetMessageHandler(std::function<void(MSG&)> handler);

// Dispatches this thread's window messages for `ms` milliseconds.
void PumpMessages(int ms);
// Dispatches messages until `done` holds or `timeoutMs` passes.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);

using quendrel::WindowText;  // the program's own reading of a window's text

// Presses keys through SendInput, as a keyboard (or a keyboard-wedge
// scanner) would, into whatever has the focus.
void TypeText(const std::string& text);
void PressKey(WORD virtualKey, bool shift = false, bool ctrl = false);

// Brings a top-level window to the front so that it gets the keyboard.
void ActivateWindow(HWND hwnd);

// Watches for message boxes of this process: records each one's caption and
// text, and presses OK.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    struct Seen {
        std::string caption;
        std::string text;
    };
    std::vector<Seen> Boxes();

private:
    void Run();
    std::atomic<bool> stop_{false};
    CRITICAL_SECTION lock_;
    std::vector<Seen> seen_;
    std::thread thread_;
};

// The text of a message box window (its static text control).
std::string MessageBoxText(HWND box);

// Waits, without handling messages (for a second thread), until `done` holds
// or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
std::string ClassOf(HWND window);
// The visible dialog-class windows of a thread, in the system's order.
std::vector<HWND> DialogsOfThread(DWORD threadId);
// A visible dialog of `threadId` other than `except`, waited for.
HWND WaitForDialog(DWORD threadId, HWND except, int timeoutMs);
// Runs `show` (which opens a modal dialog on this thread) while `drive`
// works on the dialog from another thread. Whatever `drive` leaves open is
// closed afterwards, so a failing test cannot hang.
void WhileDialogRuns(const std::function<void()>& show, const std::function<void(HWND dialog)>& drive);

}  // namespace quendrel::testing
