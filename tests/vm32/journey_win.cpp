// The shipped 32-bit Quendrel.exe, started as a process and driven through
// its real window the way an operator drives it: refusal without a location,
// a location from the 64-bit regedit; then installed from the shipped
// package with its location, started from its Start-menu shortcut, scans
// typed on the keyboard, Send Data to a real FTP server, Help > About.
// Runs in the test guest, where Wine can execute 32-bit code (see
// scripts/vm32-test.sh); screenshots and the uploaded batch go to the folder
// named by VM32_OUT.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window_win.h"
#include "config/regcode.h"
#include "config/location_settings.h"
#include "config/settings_rules.h"
#include "support/ftp_test_server.h"
#include "support/win_support_win.h"
#include "upload/upload_batch.h"

namespace quendrel {
namespace {

[[maybe_unused]] const bool kServerModes = testing::SuiteUsesFtpTestServer({"normal"});

using namespace testing;

// Emulated machines are slow: a start can take most of a minute.
constexpr int kStartMs = 180000;
constexpr int kStepMs = 60000;

std::string OutFolder() {
    const char* out = std::getenv("VM32_OUT");
    return out ? WinePath(out) : std::string();
}

// Starts a Linux program (Wine starts those too) and waits for `done`.
bool RunLinux(std::string command, const std::function<bool()>& done) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    // What comes back stands in for the Linux process and does not end with it.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return PumpUntil(done, kStepMs);
}

// The X screen, as the guest's xwd sees it, in the output folder.
void Screenshot(const std::string& name) {
    const char* out = std::getenv("VM32_OUT");
    if (!out) return;
    const std::string file = OutFolder() + "\\" + name + ".xwd";
    std::size_t size = 0;
    int steady = 0;
    RunLinux(std::string("/usr/bin/xwd -root -silent -out ") + out + "/" + name + ".xwd", [&] {
        const std::size_t now = ReadFileBytes(file).size();
        steady = now > 0 && now == size ? steady + 1 : 0;
        size = now;
        return steady >= 5;
    });
}

// Quendrel.exe running in its own folder, or as a shortcut starts it; ended
// at the end of the test if still running.
class Program {
public:
    explicit Program(const std::string& folder) { Start(WinePath(QUENDREL_EXE), folder); }
    struct FromShortcut {
        std::string path;
    };
    // What the shortcut names, started in the folder it names, as the shell
    // does when the operator clicks it (the shell of Wine in the guest hands
    // back no process for a shortcut).
    explicit Program(const FromShortcut& shortcut) {
        const ShortcutTarget target = ReadShortcut(shortcut.path);
        if (!target.program.empty()) Start(target.program, target.workingFolder);
    }
    ~Program() {
        if (!started_) return;
        if (!Ended(0)) TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    bool Started() const { return started_; }
    bool Ended(DWORD ms) const { return WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0; }
    DWORD ExitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }
    // A visible top-level window of the program with this class and caption.
    HWND Window(const char* windowClass, const char* caption) const {
        HWND found = nullptr;
        while ((found = FindWindowExA(nullptr, found, windowClass, caption)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == process_.dwProcessId && IsWindowVisible(found)) return found;
        }
        return nullptr;
    }
    HWND WaitForWindow(const char* windowClass, const char* caption, int ms) const {
        HWND found = nullptr;
        PumpUntil([&] { return (found = Window(windowClass, caption)) != nullptr || Ended(0); }, ms);
        return found;
    }

private:
    void Start(const std::string& exe, const std::string& folder) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string line = "\"" + exe + "\"";
        started_ = CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                  &startup, &process_) != 0;
    }

    bool started_ = false;
    PROCESS_INFORMATION process_{};
};

bool KeyInView(REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VOSSEL\\QUENDREL", 0, KEY_QUERY_VALUE | view, &key) != 0)
        return false;
    RegCloseKey(key);
    return true;
}

std::string LocationRegFor(const std::string& settings) {
    return LocationReg("\"REGCODE\"=\"" + EncodeRegCode(settings) + "\"");
}

// The package installed as a location's IT person installs it, silently with
// the location's REGCODE; removed again, with what it leaves, at the end.
class InstalledPackage {
public:
    explicit InstalledPackage(const std::string& regCode)
        : exitCode_(RunAndWait("msiexec.exe /i \"" + WinePath(QUENDREL_MSI) + "\" REGCODE=" + regCode + " /qn",
                               kStartMs)) {}
    ~InstalledPackage() {
        RunAndWait("msiexec.exe /x \"" + WinePath(QUENDREL_MSI) + "\" /qn", kStartMs);
        DeleteFileA((DataFolder() + "\\savedata.dat").c_str());
        DeleteLocationKey();
    }
    int ExitCode() const { return exitCode_; }
    static std::string DataFolder() { return KnownFolder(CSIDL_COMMON_APPDATA) + "\\Quendrel"; }
    // The Start-menu shortcut, wherever the system put it.
    static std::string Shortcut() {
        for (int menu : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
            const std::string path = KnownFolder(menu) + "\\Quendrel.lnk";
            if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return path;
        }
        return "";
    }

private:
    int exitCode_;
};

// Types a field into the program's focused control, closes it with Enter and
// waits for `done`.
bool EnterAndWait(const std::string& text, const std::function<bool()>& done) {
    TypeText(text);
    PressKey(VK_RETURN);
    return PumpUntil(done, kStepMs);
}

HWND FocusOf(HWND main) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    return GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gui) ? gui.hwndFocus : nullptr;
}

// The text of another process's window: GetWindowText would give only the
// name the system keeps, which an edit control or a list does not update.
std::string TextOf(HWND hwnd) {
    char buffer[8192] = "";
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, 10000,
                        &copied);
    return std::string(buffer, copied < sizeof buffer ? copied : 0);
}

// A control of the main window; those of a page are children of the tab control.
HWND ControlOf(HWND main, int id) {
    HWND control = GetDlgItem(main, id);
    return control ? control : GetDlgItem(GetDlgItem(main, kTabControl), id);
}

bool FocusIs(HWND main, int id) { return FocusOf(main) == ControlOf(main, id); }

// Where the keyboard goes, for a failure's message.
std::string FocusReport(HWND main) {
    HWND focus = FocusOf(main);
    char cls[64] = "";
    if (focus) GetClassNameA(focus, cls, sizeof cls);
    return "focus: " + std::string(cls) + " id " + std::to_string(focus ? GetDlgCtrlID(focus) : 0) +
           ", foreground is the main window: " + (GetForegroundWindow() == main ? "yes" : "no");
}

// The program's window takes this thread's keystrokes as a keyboard's: its
// thread shares our input state, and it is the active window.
void TakeKeyboard(HWND main) {
    AttachThreadInput(GetCurrentThreadId(), GetWindowThreadProcessId(main, nullptr), TRUE);
    ActivateWindow(main);
}

// Alt+key, as for a menu's underlined letter.
void PressKeyWithAlt(WORD vk) {
    INPUT keys[4]{};
    const WORD order[4] = {VK_MENU, vk, vk, VK_MENU};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = order[i];
        keys[i].ki.wScan = static_cast<WORD>(MapVirtualKeyA(order[i], MAPVK_VK_TO_VSC));
        keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(4, keys, sizeof keys[0]);
    PumpMessages(500);
}

// Picks an event with the keyboard: from the VIN field Shift+Tab goes back
// to the event list, Down there chooses the next event and sends the focus
// to the VIN field again.
bool ChooseEvent(HWND main, const std::string& code) {
    HWND list = ControlOf(main, kEventList);
    for (int i = 0; i < 12; ++i) {
        if (TextOf(list).rfind(code, 0) == 0 && FocusIs(main, kVinField)) return true;
        if (!FocusIs(main, kEventList)) {
            PressKey(VK_TAB, true);
            if (!PumpUntil([&] { return FocusIs(main, kEventList); }, kStepMs)) return false;
        }
        PressKey(VK_DOWN);
        if (!PumpUntil([&] { return FocusIs(main, kVinField); }, kStepMs)) return false;
    }
    return false;
}

TEST(Journey32, WithoutALocationTheProgramRefusesAndEnds) {
    DeleteLocationKey();
    const std::string folder = MakeScratchFolder("journey-refusal");
    Program program(folder);
    ASSERT_TRUE(program.Started());

    HWND box = program.WaitForWindow("#32770", kAppTitle, kStartMs);
    ASSERT_TRUE(box) << "no refusal came";
    Screenshot("1-refusal");
    EXPECT_EQ(MessageBoxText(box), kMissingLocationMessage);
    EXPECT_FALSE(program.Window(kMainWindowClass, nullptr));
    ActivateWindow(box);
    PressKey(VK_RETURN);
    EXPECT_TRUE(program.Ended(kStepMs));
}

// Imported as the IT person would on a 64-bit Windows: the 64-bit regedit
// puts it where a 32-bit program does not look first.
TEST(Journey32, ALocationFromThe64BitRegeditIsFound) {
    DeleteLocationKey();
    const std::string folder = MakeScratchFolder("journey-regedit64");
    const std::string reg = folder + "\\location.reg";
    WriteFileBytes(reg, LocationRegFor("l=Q7;h=127.0.0.1;u=u;p=p;r=/;"));
    // From a 32-bit process "regedit" would be the 32-bit one: start the
    // 64-bit one from Linux.
    ASSERT_TRUE(RunLinux("/usr/lib/wine/wine64 regedit /S " + reg, [] { return KeyInView(KEY_WOW64_64KEY); }));
    ASSERT_FALSE(KeyInView(KEY_WOW64_32KEY)) << "this regedit wrote the 32-bit view";

    Program program(folder);
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForWindow(kMainWindowClass, kAppTitle, kStartMs);
    EXPECT_FALSE(program.Window("#32770", kAppTitle)) << "the location was refused";
    ASSERT_TRUE(main) << "the main window did not come";
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.Ended(kStepMs));
    DeleteLocationKey();
}

TEST(Journey32, InstalledFromThePackageStartedFromItsShortcutScansAreSentAndAboutOpensAndCloses) {
    FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    DeleteLocationKey();
    InstalledPackage package(EncodeRegCode("l=Q7;h=" + server.hostSetting() + ";u=" + kFtpTestUser +
                                           ";p=" + kFtpTestPassword + ";r=/in/;"));
    ASSERT_EQ(package.ExitCode(), 0) << "msiexec failed";
    ASSERT_TRUE(KeyInView(KEY_WOW64_32KEY));
    const std::string shortcut = InstalledPackage::Shortcut();
    ASSERT_FALSE(shortcut.empty()) << "no Start-menu shortcut";
    // The shortcut's working folder is where the scans go.
    const std::string folder = InstalledPackage::DataFolder();

    Program program(Program::FromShortcut{shortcut});
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForWindow(kMainWindowClass, kAppTitle, kStartMs);
    ASSERT_TRUE(main) << "the main window did not come";
    TakeKeyboard(main);
    Screenshot("2-main-window");
    auto control = [main](int id) { return ControlOf(main, id); };

    // From the tab strip, Tab reaches the event list.
    PressKey(VK_TAB);
    ASSERT_TRUE(PumpUntil([&] { return FocusIs(main, kEventList); }, kStepMs)) << FocusReport(main);
    ASSERT_TRUE(ChooseEvent(main, "510")) << FocusReport(main);
    const std::string saved = folder + "\\savedata.dat";
    ASSERT_TRUE(EnterAndWait("]1ABCD23E45F678901", [&] { return ReadFileBytes(saved).size() == 48; }))
        << "the VIN-only scan was not saved: " << TextOf(control(kStatusLabel));

    ASSERT_TRUE(ChooseEvent(main, "550")) << FocusReport(main);
    ASSERT_TRUE(EnterAndWait("]2FGHJ34K56L789012", [&] { return FocusIs(main, kRouteField); }));
    ASSERT_TRUE(EnterAndWait("0042", [&] { return FocusIs(main, kDealerField); }));
    ASSERT_TRUE(EnterAndWait("123456", [&] { return ReadFileBytes(saved).size() == 96; }))
        << "the 550 scan was not saved: " << TextOf(control(kStatusLabel));
    EXPECT_EQ(TextOf(control(kStatusLabel)), "Last Scan");
    Screenshot("3-two-scans");

    const std::string records = ReadFileBytes(saved);
    ASSERT_EQ(records.size(), 96u);
    const std::string first = records.substr(0, 48), second = records.substr(48);
    EXPECT_EQ(first.substr(0, 21), "UP1ABCD23E45F678901Q7");
    EXPECT_EQ(first.substr(33), "510" + std::string(10, ' ') + "\r\n");
    EXPECT_EQ(second.substr(0, 21), "UP2FGHJ34K56L789012Q7");
    EXPECT_EQ(second.substr(33), "5500042123456\r\n");

    // Ctrl+Tab opens the "Upload" page; Tab then reaches Send Data.
    PressKey(VK_TAB, false, true);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(control(kSendDataButton)) != FALSE; }, kStepMs));
    ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(control(kSendDataButton)) != FALSE; }, kStepMs));
    for (int i = 0; i < 6 && !FocusIs(main, kSendDataButton); ++i) {
        const HWND before = FocusOf(main);
        PressKey(VK_TAB);
        PumpUntil([&] { return FocusOf(main) != before; }, 10000);
    }
    ASSERT_TRUE(FocusIs(main, kSendDataButton)) << FocusReport(main);
    PressKey(VK_RETURN);
    ASSERT_TRUE(PumpUntil(
        [&] {
            const std::string log = TextOf(control(kUploadLog));
            return log.size() > 11 && log.substr(log.size() - 11) == " File Sent.";
        },
        kStartMs))
        << "the upload log reads: " << TextOf(control(kUploadLog));
    Screenshot("4-sent");

    const std::string log = TextOf(control(kUploadLog));
    const std::string batch = log.substr(log.rfind('\n') + 1, 16);
    EXPECT_EQ(batch.substr(10), "Q7.TXT") << log;
    EXPECT_EQ(batch.find_first_not_of("0123456789"), 10u) << "named after the minute of sending: " << batch;
    std::string received;
    ASSERT_TRUE(server.ReadServerFile("in/" + batch, received));
    EXPECT_EQ(received, UploadFileContents(batch, records));
    if (!OutFolder().empty()) WriteFileBytes(OutFolder() + "\\" + batch, received);
    EXPECT_EQ(GetFileAttributesA(saved.c_str()), INVALID_FILE_ATTRIBUTES) << "savedata.dat stayed after the upload";

    // Help > About by its menu keys, closed with Enter on OK.
    PressKeyWithAlt('H');
    PressKey('A');
    HWND about = program.WaitForWindow("#32770", "About Quendrel", kStepMs);
    ASSERT_TRUE(about) << "Help > About did not open";
    Screenshot("5-about");
    EXPECT_FALSE(IsWindowEnabled(main));
    PressKey(VK_RETURN);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(about); }, kStepMs)) << "About did not close";
    EXPECT_TRUE(PumpUntil([&] { return IsWindowEnabled(main) != FALSE; }, kStepMs));

    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.Ended(kStepMs));
    EXPECT_EQ(program.ExitCode(), 0u);
}

}  // namespace
}  // namespace quendrel
