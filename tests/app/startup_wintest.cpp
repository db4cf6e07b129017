// Quendrel.exe itself, started as the operator starts it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>

#include "app/main_window_win.h"
#include "app/working_folder_claim_win.h"
#include "config/regcode.h"
#include "config/location_settings.h"
#include "config/settings_rules.h"
#include "support/ftp_test_server.h"
#include "support/main_window_fixture_win.h"
#include "support/win_support_win.h"

namespace quendrel {
namespace {

[[maybe_unused]] const bool kServerModes = testing::SuiteUsesFtpTestServer({"normal"});

using testing::PumpUntil;
using testing::TempWorkDir;

struct Started {
    PROCESS_INFORMATION pi{};
    ~Started() {
        if (pi.hProcess) {
            TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
};

bool StartProgram(Started& started) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string command = std::string("\"Z:") + QUENDREL_EXE + "\"";
    return CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &started.pi) != 0;
}

// Top-level windows of a process with the given class.
HWND FindProcessWindow(DWORD process, const char* windowClass) {
    HWND found = nullptr;
    while ((found = FindWindowExA(nullptr, found, windowClass, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(found, &owner);
        if (owner == process && IsWindowVisible(found)) return found;
    }
    return nullptr;
}

bool Ended(const Started& started, DWORD ms) { return WaitForSingleObject(started.pi.hProcess, ms) == WAIT_OBJECT_0; }

// Starts the program and expects its refusal: one message box captioned
// Quendrel, no main window, and the end after OK. Returns the box's text.
// `inFolder` runs first, given the program's working folder.
std::string RefusalAtStartUp(const std::function<void(const std::string&)>& inFolder = [](const std::string&) {}) {
    std::string text;
    TempWorkDir dir;
    inFolder(dir.Path());
    Started started;
    EXPECT_TRUE(StartProgram(started));

    HWND box = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return (box = FindProcessWindow(started.pi.dwProcessId, "#32770")) != nullptr; }, 10000));
    if (!box) return text;
    EXPECT_EQ(testing::WindowText(box), "Quendrel");
    text = testing::MessageBoxText(box);
    EXPECT_EQ(FindProcessWindow(started.pi.dwProcessId, kMainWindowClass), nullptr);  // never shown

    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Ended(started, 5000));
    EXPECT_EQ(FindProcessWindow(started.pi.dwProcessId, kMainWindowClass), nullptr);
    return text;
}

// Quendrel.exe /check /quiet in a fresh folder: its exit code and what it printed.
struct CheckRun {
    DWORD exitCode = 99;
    std::string output;
};
CheckRun RunCheck(const std::string& settings) {
    testing::DeleteLocationKey();
    testing::ImportRegistry(testing::LocationReg("\"REGCODE\"=\"" + EncodeRegCode(settings) + "\""));
    TempWorkDir dir;
    testing::WriteFileBytes(dir.File("savedata.dat"), "one\r\ntwo\r\n");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CheckRun run;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    Started started;
    std::string command = std::string("\"Z:") + QUENDREL_EXE + "\" /check /quiet";
    const bool ran = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &started.pi);
    CloseHandle(writeEnd);
    char buffer[4096];
    DWORD got = 0;
    while (ran && ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) run.output.append(buffer, got);
    CloseHandle(readEnd);
    if (ran && Ended(started, 60000)) GetExitCodeProcess(started.pi.hProcess, &run.exitCode);
    testing::DeleteLocationKey();
    return run;
}

TEST(Startup, CheckOfAFullAccountReportsEveryRightAndThePendingScans) {
    testing::FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    const CheckRun run = RunCheck("l=X1;h=" + server.hostSetting() + ";u=scanner;p=" + testing::kFtpTestPassword + ";r=/in/;");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    for (const char* line : {"Pending scans: 2 in savedata.dat", "Login: yes", "(SIZE): yes", "List the folder: yes",
                             "(the claim on a batch's name): yes", "Rename: yes", "Delete: yes",
                             "Result: an upload from this PC would work."}) {
        EXPECT_NE(run.output.find(line), std::string::npos) << line << " is not in:\n" << run.output;
    }
    EXPECT_EQ(server.ServerFileNames("in"), std::vector<std::string>{}) << "the check's file stayed";
}

TEST(Startup, CheckOfAStoreOnlyAccountWarnsThatBatchesCanReplaceEachOther) {
    testing::FtpTestServerOptions options;
    options.storeOnly = true;
    testing::FtpTestServer server(options);
    ASSERT_EQ(server.startError(), "");
    const CheckRun run = RunCheck("l=X1;h=" + server.hostSetting() + ";u=scanner;p=" + testing::kFtpTestPassword + ";r=/in/;");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    for (const char* warning : {"can replace each other's batch. Give the account the right to list",
                                "can then replace each other's batch on this account"})
        EXPECT_NE(run.output.find(warning), std::string::npos) << run.output;
}

TEST(Startup, CheckWithoutAServerOrWithAWrongPasswordFailsAndSaysWhatToCorrect) {
    testing::FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    CheckRun run = RunCheck("l=X1;h=" + server.hostSetting() + ";u=scanner;p=wrong;r=/in/;");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.output.find("Check the FTP user (u) and password (p)"), std::string::npos) << run.output;
    const std::string host = server.hostSetting();
    server.Stop();
    run = RunCheck("l=X1;h=" + host + ";u=scanner;p=x;r=/in/;");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.output.find("Check the FTP server (h)"), std::string::npos) << run.output;
}

TEST(Startup, ExitWhileTheServerWithholdsItsReplyToQuitEndsTheProgramWithinASecond) {
    testing::FtpTestServerOptions options;
    options.swallowQuit = true;
    testing::FtpTestServer server(options);
    ASSERT_EQ(server.startError(), "");
    testing::DeleteLocationKey();
    testing::ImportRegistry(testing::LocationReg("\"REGCODE\"=\"" + EncodeRegCode("l=X1;h=" + server.hostSetting() +
                            ";u=scanner;p=" + testing::kFtpTestPassword + ";r=/in/;") + "\""));
    TempWorkDir dir;
    testing::WriteFileBytes(dir.File("savedata.dat"), "UP1ABCD23E45F678901X1011108090507510          \r\n");
    Started started;
    ASSERT_TRUE(StartProgram(started));
    HWND main = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (main = FindProcessWindow(started.pi.dwProcessId, kMainWindowClass)) != nullptr; }, 10000));
    const HWND tabs = GetDlgItem(main, kTabControl);
    SendMessageA(tabs, TCM_SETCURFOCUS, kUploadPage, 0);
    PostMessageA(GetDlgItem(tabs, kSendDataButton), BM_CLICK, 0, 0);
    // Sent, tidied, and waiting for the reply to QUIT.
    ASSERT_TRUE(PumpUntil([&] { const auto c = server.Commands(); return !c.empty() && c.back() == "QUIT"; }, 20000));
    const DWORD closing = GetTickCount();
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ended(started, 5000));
    EXPECT_LT(GetTickCount() - closing, 1000u);
    testing::DeleteLocationKey();
}

TEST(Startup, SettingsWithoutALocationCodeAreNamedBeforeTheWindowOpens) {
    testing::DeleteLocationKey();
    testing::ImportRegistry(testing::LocationReg("\"REGCODE\"=\"" + EncodeRegCode("h=127.0.0.1;") + "\""));
    Started started;
    TempWorkDir dir;
    ASSERT_TRUE(StartProgram(started));
    HWND box = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (box = FindProcessWindow(started.pi.dwProcessId, "#32770")) != nullptr; }, 10000));
    EXPECT_NE(testing::MessageBoxText(box).find("no location code"), std::string::npos);
    EXPECT_EQ(FindProcessWindow(started.pi.dwProcessId, kMainWindowClass), nullptr);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    HWND main = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return (main = FindProcessWindow(started.pi.dwProcessId, kMainWindowClass)) != nullptr; }, 10000));
    if (main) PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ended(started, 5000));
    testing::DeleteLocationKey();
}

TEST(Startup, WithoutALocationTheProgramRefusesAndEndsAfterOk) {
    testing::DeleteLocationKey();
    EXPECT_EQ(RefusalAtStartUp(), kMissingLocationMessage);
}

TEST(Startup, ADamagedRegCodeIsRefusedWithWhatIsWrongWithIt) {
    const std::string good = EncodeRegCode(SettingsText({"127.0.0.1", "u", "p", "/in/", "X1"}));
    const struct {
        std::string value, says;
    } damaged[] = {
        {EncodeRegCode(SettingsText({"127.0.0.1", "u", "p", "/in/", "X/1"})), "The location code holds a character"},
        {EncodeRegCode(SettingsText({"127.0.0.1", "u", "p", "/in/", "X\r\n1"})), "decodes to a control character"},
        {"\\\"" + good + "\\\"", "stored with its quotation marks"},  // as reg add leaves it with its quotes kept
    };
    for (const auto& form : damaged) {
        SCOPED_TRACE(form.value);
        testing::DeleteLocationKey();
        testing::ImportRegistry(testing::LocationReg("\"REGCODE\"=\"" + form.value + "\""));
        const std::string text = RefusalAtStartUp();
        EXPECT_EQ(text.rfind("This PC's location settings are damaged. ", 0), 0u) << text;
        EXPECT_NE(text.find(form.says), std::string::npos) << text;
        EXPECT_NE(text.find("Vossel Inc. (555) 014-2290 for a corrected location.reg"), std::string::npos) << text;
    }
    testing::DeleteLocationKey();
}

TEST(Startup, WithALocationTheMainWindowOpensAndTheCloseBoxEndsIt) {
    testing::DeleteLocationKey();
    testing::ImportRegistry(testing::TestLocationReg());
    TempWorkDir dir;
    testing::WriteFileBytes(dir.File("savedata.dat"), "pending\r\n");
    Started started;
    ASSERT_TRUE(StartProgram(started));

    HWND main = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (main = FindProcessWindow(started.pi.dwProcessId, kMainWindowClass)) != nullptr; }, 10000));
    EXPECT_EQ(testing::WindowText(main), "Quendrel");
    EXPECT_EQ(FindProcessWindow(started.pi.dwProcessId, "#32770"), nullptr);

    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ended(started, 5000));
    EXPECT_EQ(testing::ReadFileBytes(dir.File("savedata.dat")), "pending\r\n");
    testing::DeleteLocationKey();
}

TEST(Startup, AQuendrelOfAnotherUserInTheSameFolderIsNamedAndThisOneEnds) {
    testing::DeleteLocationKey();
    testing::ImportRegistry(testing::TestLocationReg());
    unique_handle otherSession;  // what a Quendrel in another Windows session holds
    std::string folder;
    const std::string text = RefusalAtStartUp([&](const std::string& workingFolder) {
        otherSession.reset(CreateMutexA(nullptr, FALSE, MachineWideClaimName().c_str()));
        folder = workingFolder;
    });
    EXPECT_TRUE(otherSession);
    EXPECT_EQ(text, "Quendrel is already running for another user of this PC in the folder " + folder +
                        ". Only one Quendrel may work in a folder, so that no scan is lost: close that one first.");
    testing::DeleteLocationKey();
}

TEST(Startup, ASecondStartInTheSameFolderBringsTheFirstBackAndEnds) {
    testing::DeleteLocationKey();
    testing::ImportRegistry(testing::TestLocationReg());
    TempWorkDir dir;
    Started first, second;
    ASSERT_TRUE(StartProgram(first));
    HWND main = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (main = FindProcessWindow(first.pi.dwProcessId, kMainWindowClass)) != nullptr; }, 10000));
    ShowWindow(main, SW_MINIMIZE);
    ASSERT_TRUE(PumpUntil([&] { return IsIconic(main) != FALSE; }, 5000));

    ASSERT_TRUE(StartProgram(second));
    EXPECT_TRUE(Ended(second, 10000));  // a second window would have kept it running
    EXPECT_TRUE(PumpUntil([&] { return !IsIconic(main); }, 5000));

    TempWorkDir otherFolder;
    Started elsewhere;
    ASSERT_TRUE(StartProgram(elsewhere));
    EXPECT_TRUE(PumpUntil([&] { return FindProcessWindow(elsewhere.pi.dwProcessId, kMainWindowClass) != nullptr; }, 10000));
    testing::DeleteLocationKey();
}

}  // namespace
}  // namespace quendrel
