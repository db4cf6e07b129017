// makereg.exe under Wine: its location.reg decodes to the settings it was
// given, and once imported with Wine's regedit, Quendrel starts on it.
#include <gtest/gtest.h>

#include "support/win_support_win.h"
#include "config/regcode.h"
#include "config/settings_rules.h"
#include "config/location_settings.h"

namespace quendrel::testing {
namespace {

std::string RegCodeIn(const std::string& regFile) {
    const std::string start = "\"REGCODE\"=\"";
    const auto from = regFile.find(start);
    if (from == std::string::npos) return "<no REGCODE line>";
    const auto begin = from + start.size();
    return regFile.substr(begin, regFile.find('"', begin) - begin);
}

// Runs makereg.exe in `folder`; its exit code.
int RunMakereg(const ScratchFolder& folder, const std::string& arguments) {
    const std::string exe = WinePath(MAKEREG_EXE);
    return RunAndWait("\"" + exe + "\" " + arguments, 60000, folder.Path().c_str());
}

// REGCODE and its key in both registry views, put back as they were when
// the test ends.
class SavedRegCode {
public:
    SavedRegCode() {
        for (int i = 0; i < 2; ++i) saved_[i] = Read(kViews[i]);
    }
    ~SavedRegCode() {
        for (int i = 0; i < 2; ++i) Restore(kViews[i], saved_[i]);
    }

    static void RemoveEverywhere() {
        ImportRegistry(
            "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\VOSSEL\\QUENDREL]\r\n\r\n"
            "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\VOSSEL\\QUENDREL]\r\n\r\n");
    }

private:
    struct Value {
        bool keyExisted = false;
        bool present = false;
        DWORD type = 0;
        std::string data;
    };
    static constexpr REGSAM kViews[2] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};

    static Value Read(REGSAM view) {
        Value value;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLocationSubkey, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) {
            return value;
        }
        value.keyExisted = true;
        DWORD size = 0;
        if (RegQueryValueExA(key, kLocationValueName, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
            value.data.resize(size);
            value.present = RegQueryValueExA(key, kLocationValueName, nullptr, &value.type,
                                             reinterpret_cast<BYTE*>(value.data.data()), &size) == ERROR_SUCCESS;
            value.data.resize(size);
        }
        RegCloseKey(key);
        return value;
    }
    static void Restore(REGSAM view, const Value& value) {
        HKEY key = nullptr;
        if (!value.keyExisted) {
            RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kLocationSubkey, view, 0);
            return;
        }
        if (!value.present) {
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLocationSubkey, 0, KEY_SET_VALUE | view, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, kLocationValueName);
                RegCloseKey(key);
            }
            return;
        }
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLocationSubkey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, kLocationValueName, 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                           static_cast<DWORD>(value.data.size()));
            RegCloseKey(key);
        }
    }

    Value saved_[2];
};

struct ProcessWindows {
    HWND mainWindow = nullptr;  // captioned "Quendrel", not a dialog
    HWND messageBox = nullptr;  // a dialog captioned "Quendrel"
};

ProcessWindows FindQuendrelWindows(DWORD processId) {
    ProcessWindows found;
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, nullptr, "Quendrel")) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != processId || !IsWindowVisible(window)) continue;
        (ClassOf(window) == "#32770" ? found.messageBox : found.mainWindow) = window;
    }
    return found;
}

// Waits until the process shows its main window or its refusal.
ProcessWindows WaitForFirstWindow(DWORD processId) {
    ProcessWindows seen;
    WaitUntil(
        [&] {
            seen = FindQuendrelWindows(processId);
            return seen.mainWindow || seen.messageBox;
        },
        20000);
    return seen;
}

// Quendrel.exe running in a folder; ended at the end of the test if still running.
class RunningQuendrel {
public:
    explicit RunningQuendrel(const std::string& folder) {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        const std::string exe = WinePath(QUENDREL_EXE);
        std::string line = "\"" + exe + "\"";
        started_ = CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                  &startup, &process_);
    }
    ~RunningQuendrel() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    bool Started() const { return started_; }
    DWORD Id() const { return process_.dwProcessId; }
    bool Ended(DWORD timeoutMs) const { return WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0; }

private:
    bool started_ = false;
    PROCESS_INFORMATION process_{};
};

TEST(Makereg, ItsLocationRegDecodesToTheSettingsGiven) {
    ScratchFolder folder("makereg-decode");
    ASSERT_EQ(RunMakereg(folder, "--host ftp.vossel.example --user \"loc 0111\" --password \"Pa$$ \\\"w0rd\\\"\" "
                                 "--remote-path /incoming/0111/ --location X1"),
              0);
    const std::string file = ReadFileBytes(folder.File("location.reg"));
    EXPECT_EQ(file.rfind("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VOSSEL\\QUENDREL]\r\n\"REGCODE\"=\"", 0), 0u)
        << file;
    const LocationSettings settings = ParseSettingsText(DecodeRegCode(RegCodeIn(file)));
    EXPECT_EQ(settings.FtpHost, "ftp.vossel.example");
    EXPECT_EQ(settings.FtpUser, "loc 0111");
    EXPECT_EQ(settings.FtpPassword, "Pa$$ \"w0rd\"");
    EXPECT_EQ(settings.RemotePath, "/incoming/0111/");
    EXPECT_EQ(settings.LocationCode, "X1");
}

TEST(Makereg, RefusesSemicolonAndEqualsAndWritesNothing) {
    ScratchFolder folder("makereg-refuse");
    EXPECT_EQ(RunMakereg(folder, "--host h --user u --password a;b --remote-path /r/ --location l"), 1);
    EXPECT_EQ(RunMakereg(folder, "--host h --user u --password p --remote-path /r/ --location l=1"), 1);
    EXPECT_FALSE(FileExists(folder.File("location.reg")));
}

TEST(Makereg, QuendrelStartsOnItsImportedLocationReg) {
    SavedRegCode saved;
    SavedRegCode::RemoveEverywhere();
    ScratchFolder folder("makereg-start");
    ASSERT_EQ(RunMakereg(folder, "--host 127.0.0.1 --user scan --password secret --remote-path /up/ --location Q7"), 0);
    ASSERT_EQ(RunAndWait("regedit.exe /S \"" + folder.File("location.reg") + "\""), 0);

    RunningQuendrel quendrel(folder.Path());
    ASSERT_TRUE(quendrel.Started());
    const ProcessWindows windowsSeen = WaitForFirstWindow(quendrel.Id());
    EXPECT_TRUE(windowsSeen.mainWindow) << "the main window did not come";
    EXPECT_FALSE(windowsSeen.messageBox) << "Quendrel refused the location";
    if (windowsSeen.mainWindow) PostMessageA(windowsSeen.mainWindow, WM_CLOSE, 0, 0);
    if (windowsSeen.messageBox) PostMessageA(windowsSeen.messageBox, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(quendrel.Ended(10000));
}

// The same check tells a refusal apart: without the value Quendrel refuses.
TEST(Makereg, WithoutALocationQuendrelRefuses) {
    SavedRegCode saved;
    SavedRegCode::RemoveEverywhere();
    ScratchFolder folder("makereg-none");

    RunningQuendrel quendrel(folder.Path());
    ASSERT_TRUE(quendrel.Started());
    const ProcessWindows windowsSeen = WaitForFirstWindow(quendrel.Id());
    EXPECT_FALSE(windowsSeen.mainWindow);
    ASSERT_TRUE(windowsSeen.messageBox);
    EXPECT_EQ(MessageBoxText(windowsSeen.messageBox), kMissingLocationMessage);
    PostMessageA(windowsSeen.messageBox, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(quendrel.Ended(10000));
}

}  // namespace
}  // namespace quendrel::testing
