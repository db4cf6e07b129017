// Send Data on the main window's "Upload" page, with the location pointing
// at a real FTP server on 127.0.0.1.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "product.h"
#include "app/main_window_win.h"
#include "config/settings_rules.h"
#include "platform/registry_win.h"
#include "support/fakes.h"
#include "support/ftp_test_server_win.h"
#include "support/win_support_win.h"
#include "upload/upload_batch.h"

namespace quendrel {
namespace {

using testing::FtpTestServer;
using testing::FtpTestServerOptions;

const std::string kBatch = "0111080905X1.TXT";

std::string Records(int count) {
    std::string records;
    for (int i = 0; i < count; ++i) {
        records += "UP1ABCD23E45F" + std::to_string(100000 + i) + "X10111080905075500042123456\r\n";
    }
    return records;
}

class UploadPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&icc);
    }

    void OpenWindowFor(const FtpTestServer& server, const std::string& password = testing::kFtpTestPassword) {
        testing::DeleteLocationKey();
        const std::string settings = "l=X1;h=" + server.hostSetting() + ";u=" + testing::kFtpTestUser +
                                     ";p=" + password + ";r=/in/;";
        testing::ImportRegistry(testing::LocationReg("\"REGCODE\"=\"" + EncodeRegCode(settings) + "\""));
        workDir = std::make_unique<testing::TempWorkDir>();
        const MainWindowServices services{clock, SystemFileSystem(), beeper, registry, ftp};
        window = MainWindow::Create(GetModuleHandleA(nullptr), services);
        ASSERT_TRUE(window);
        testing::SetMessageHandler([this](MSG& msg) { ProcessMessage(*window, msg); });
        window->Show(SW_SHOWNORMAL);
        testing::ActivateWindow(window->Handle());
    }

    void GoToUploadPage() {
        SetFocus(window->Control(kTabControl));
        testing::PressKey(VK_RIGHT);
        testing::PumpMessages(50);
        ASSERT_EQ(window->CurrentPage(), kUploadPage);
    }

    void TearDown() override {
        testing::SetMessageHandler(nullptr);
        window.reset();
        testing::PumpMessages(20);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
        workDir.reset();
        testing::DeleteLocationKey();
    }

    std::unique_ptr<testing::TempWorkDir> workDir;
    testing::FixedClock clock;
    testing::CountingBeeper beeper;
    Win32Registry registry;
    WinInetFtpClient ftp;
    std::unique_ptr<MainWindow> window;
};

TEST_F(UploadPageTest, SendDataUploadsThePendingScansAndLogsThreeLines) {
    FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    ASSERT_NO_FATAL_FAILURE(OpenWindowFor(server));
    const std::string records = Records(2);
    testing::WriteFileBytes(workDir->File("savedata.dat"), records);
    GoToUploadPage();
    ASSERT_TRUE(IsWindowEnabled(window->Control(kSendDataButton)));

    SendMessageA(window->Control(kSendDataButton), BM_CLICK, 0, 0);

    EXPECT_EQ(testing::WindowText(window->Control(kUploadLog)),
              "Processing File ...\r\nSending File ...\r\n0111080905X1.TXT File Sent.");
    std::string received;
    ASSERT_TRUE(server.ReadServerFile("in/" + kBatch, received));
    EXPECT_EQ(received, UploadFileContents(kBatch, records));
    EXPECT_EQ(GetFileAttributesA(workDir->File("savedata.dat").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(IsWindowEnabled(window->Control(kSendDataButton)));  // until the page is left
}

TEST_F(UploadPageTest, RefusedLoginShowsTheServersReplyInAMessageBox) {
    FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    ASSERT_NO_FATAL_FAILURE(OpenWindowFor(server, "wrong"));
    const std::string records = Records(2);
    testing::WriteFileBytes(workDir->File("savedata.dat"), records);
    GoToUploadPage();
    testing::MessageBoxWatcher boxes;

    SendMessageA(window->Control(kSendDataButton), BM_CLICK, 0, 0);

    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, kAppTitle);
    EXPECT_EQ(seen[0].text.substr(0, 4), "530 ") << seen[0].text;
    EXPECT_EQ(testing::WindowText(window->Control(kUploadLog)), "Processing File ...\r\nSending File ...");
    EXPECT_EQ(testing::ReadFileBytes(workDir->File("savedata.dat")), records);
    EXPECT_EQ(GetFileAttributesA(workDir->File(kBatch).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UploadPageTest, ClosingTheWindowDuringAnUploadStopsItAndKeepsEveryRecord) {
    FtpTestServerOptions options;
    options.readLimit = 200 * 1024;  // several seconds for the batch below
    FtpTestServer server(options);
    ASSERT_EQ(server.startError(), "");
    ASSERT_NO_FATAL_FAILURE(OpenWindowFor(server));
    const std::string records = Records(40000);
    testing::WriteFileBytes(workDir->File("savedata.dat"), records);
    GoToUploadPage();
    testing::MessageBoxWatcher boxes;

    // The close box, pressed while the upload is under way.
    static HWND closing = nullptr;
    closing = window->Handle();
    SetTimer(nullptr, 0, 500, [](HWND, UINT, UINT_PTR id, DWORD) CALLBACK {
        KillTimer(nullptr, id);
        PostMessageA(closing, WM_CLOSE, 0, 0);
    });
    const auto started = GetTickCount();
    SendMessageA(window->Control(kSendDataButton), BM_CLICK, 0, 0);
    const auto took = GetTickCount() - started;

    EXPECT_LT(took, 5000u);                 // stopped, not finished
    EXPECT_FALSE(IsWindow(closing));        // and the window then closed
    EXPECT_TRUE(boxes.Boxes().empty());     // without a word: the operator asked to leave
    EXPECT_EQ(testing::ReadFileBytes(workDir->File("savedata.dat")), records);
    // The batch is deleted; it goes once the stopped transfer lets go of it.
    const std::string batch = workDir->File(kBatch);
    EXPECT_TRUE(testing::PumpUntil([&] { return GetFileAttributesA(batch.c_str()) == INVALID_FILE_ATTRIBUTES; }));
}

}  // namespace
}  // namespace quendrel
