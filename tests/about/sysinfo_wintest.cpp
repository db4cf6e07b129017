// The System Info button under Wine: registry values put in with Wine's
// regedit, a stand-in tool that leaves a marker file when it starts.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "about/about_dialog_win.h"
#include "support/win_support_win.h"

namespace quendrel::testing {
namespace {

// The shipped program is 32-bit, so it reads the 32-bit registry view; the
// 64-bit test build does the same, and the values go there.
const char kMsInfoKey32[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Shared Tools\\MSINFO";
const char kLocationKey32[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Shared Tools Location";
const char kMsInfoKey64[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char kLocationKey64[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location";

// A .reg string: backslashes and quotes escaped.
std::string RegText(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

struct ClickResult {
    std::string message;   // texts of the message box, empty when none came
    std::string caption;   // its caption
    bool dialogStayedOpen = false;
};

class SysInfoButton : public ::testing::Test {
protected:
    void SetUp() override { ClearKeys(); }
    void TearDown() override { ClearKeys(); }

    static void ClearKeys() {
        ImportRegistry(std::string("REGEDIT4\r\n\r\n") + "[-" + kMsInfoKey32 + "]\r\n\r\n" + "[-" +
                                 kLocationKey32 + "]\r\n\r\n" + "[-" + kMsInfoKey64 + "]\r\n\r\n" + "[-" +
                                 kLocationKey64 + "]\r\n\r\n");
    }
    static void SetValue(const char* key, const char* name, const std::string& value) {
        ImportRegistry(std::string("REGEDIT4\r\n\r\n[") + key + "]\r\n\"" + name + "\"=" + RegText(value) +
                                 "\r\n\r\n");
    }

    // A copy of the stand-in tool under `name` in `folder`; its marker's path.
    static std::string PlaceStandIn(const ScratchFolder& folder, const std::string& name) {
        const std::string target = folder.File(name);
        EXPECT_TRUE(CopyFileA(WinePath(SYSINFO_STANDIN_EXE).c_str(), target.c_str(), FALSE)) << target;
        return target + ".started";
    }

    // Opens the About dialog, clicks System Info, and reports what came up;
    // `waitForMarker` is the marker that a start should leave.
    static ClickResult ClickSysInfo(const std::string& waitForMarker) {
        ClickResult result;
        const DWORD uiThread = GetCurrentThreadId();
        WhileDialogRuns([] { ShowAboutDialog(nullptr, SystemRegistry()); },
                        [&](HWND dialog) {
                            PostMessageA(GetDlgItem(dialog, kAboutSysInfoId), BM_CLICK, 0, 0);
                            // Either the tool starts, or the message box comes.
                            HWND box = nullptr;
                            WaitUntil(
                                [&] {
                                    box = WaitForDialog(uiThread, dialog, 0);
                                    return box != nullptr || (!waitForMarker.empty() && FileExists(waitForMarker));
                                },
                                10000);
                            if (!box) box = WaitForDialog(uiThread, dialog, 1000);  // one that comes late
                            if (box) {
                                result.message = MessageBoxText(box);
                                result.caption = WindowText(box);
                                PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                                WaitUntil([&] { return !IsWindow(box); }, 5000);
                            }
                            result.dialogStayedOpen = IsWindow(dialog) && IsWindowVisible(dialog);
                            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                        });
        return result;
    }
};

TEST_F(SysInfoButton, FirstValueNamingAProgramStartsItWithANormalWindow) {
    ScratchFolder tool("sysinfo-first");
    const std::string marker = PlaceStandIn(tool, "Info Tool.exe");
    SetValue(kMsInfoKey32, "PATH", tool.File("Info Tool.exe"));

    const ClickResult click = ClickSysInfo(marker);
    EXPECT_EQ(click.message, "");
    EXPECT_TRUE(click.dialogStayedOpen) << "starting the tool must not close the dialog";
    ASSERT_TRUE(FileExists(marker)) << "the tool was not started";
    EXPECT_EQ(ReadFile(marker), "show=" + std::to_string(SW_SHOWNORMAL) + "\n");
}

TEST_F(SysInfoButton, FirstValueNamingAMissingFileShowsTheMessageAndIgnoresTheSecondKey) {
    ScratchFolder tool("sysinfo-second");
    const std::string marker = PlaceStandIn(tool, "MSINFO32.EXE");
    SetValue(kMsInfoKey32, "PATH", tool.File("missing.exe"));
    SetValue(kLocationKey32, "MSINFO", tool.Path());

    const ClickResult click = ClickSysInfo("");
    EXPECT_EQ(click.message, "System Information Is Unavailable At This Time");
    EXPECT_EQ(click.caption, "Quendrel");
    EXPECT_TRUE(click.dialogStayedOpen);
    Sleep(500);
    EXPECT_FALSE(FileExists(marker)) << "the second key's tool must not be started";
}

TEST_F(SysInfoButton, OnlyTheSecondKeyStartsMsinfo32FromItsFolder) {
    ScratchFolder tool("sysinfo-folder");
    const std::string marker = PlaceStandIn(tool, "MSINFO32.EXE");
    SetValue(kLocationKey32, "MSINFO", tool.Path());

    const ClickResult click = ClickSysInfo(marker);
    EXPECT_EQ(click.message, "");
    EXPECT_TRUE(FileExists(marker));
}

TEST_F(SysInfoButton, SecondKeyFolderWithoutMsinfo32ShowsTheMessage) {
    ScratchFolder tool("sysinfo-empty");
    const std::string marker = PlaceStandIn(tool, "OTHER.EXE");
    SetValue(kLocationKey32, "MSINFO", tool.Path());

    const ClickResult click = ClickSysInfo("");
    EXPECT_EQ(click.message, "System Information Is Unavailable At This Time");
    EXPECT_FALSE(FileExists(marker));
}

TEST_F(SysInfoButton, FirstValueOver1024BytesCountsAsNotFound) {
    ScratchFolder tool("sysinfo-long");
    const std::string marker = PlaceStandIn(tool, "MSINFO32.EXE");
    // 1100 characters: were it read at all, starting it would fail and the
    // message would come instead of the second key's tool.
    SetValue(kMsInfoKey32, "PATH", "C:\\" + std::string(1093, 'x') + ".exe");
    SetValue(kLocationKey32, "MSINFO", tool.Path());

    const ClickResult click = ClickSysInfo(marker);
    EXPECT_EQ(click.message, "");
    EXPECT_TRUE(FileExists(marker)) << "the second key's tool was not started";
}

TEST_F(SysInfoButton, NoValuesShowTheMessage) {
    const ClickResult click = ClickSysInfo("");
    EXPECT_EQ(click.message, "System Information Is Unavailable At This Time");
    EXPECT_EQ(click.caption, "Quendrel");
}

TEST_F(SysInfoButton, ValuesOnlyInThe64BitViewAreNotSeen) {
    ScratchFolder tool("sysinfo-view");
    const std::string marker = PlaceStandIn(tool, "MSINFO32.EXE");
    SetValue(kMsInfoKey64, "PATH", tool.File("MSINFO32.EXE"));
    SetValue(kLocationKey64, "MSINFO", tool.Path());

    const ClickResult click = ClickSysInfo("");
    EXPECT_EQ(click.message, "System Information Is Unavailable At This Time");
    EXPECT_FALSE(FileExists(marker));
}

}  // namespace
}  // namespace quendrel::testing
