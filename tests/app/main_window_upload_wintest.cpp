// Send Data on the main window's "Upload" page, with the location pointing
// at a real FTP server on 127.0.0.1: the upload runs on its own thread while
// the window's one message loop goes on.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "product.h"
#include "app/main_window_win.h"
#include "config/regcode.h"
#include "config/settings_rules.h"
#include "platform/registry_win.h"
#include "support/fakes.h"
#include "support/ftp_test_server.h"
#include "support/win_support_win.h"
#include "upload/upload_batch.h"

namespace quendrel {
namespace {

[[maybe_unused]] const bool kServerModes = testing::SuiteUsesFtpTestServer({"normal", "tls"});

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
    void OpenWindowFor(const FtpTestServer& server, const std::string& more = "") {
        testing::DeleteLocationKey();
        const std::string text = "l=X1;h=" + server.hostSetting() + ";u=" + server.user() +
                                 ";p=" + testing::kFtpTestPassword + ";r=/in/;" + more;
        testing::ImportRegistry(testing::LocationReg("\"REGCODE\"=\"" + EncodeRegCode(text) + "\""));
        ASSERT_TRUE(LoadSettingsAtStartUp(registry, settings).ok());
        workDir = std::make_unique<testing::TempWorkDir>();
        const MainWindowServices services{clock, SystemFileSystem(), beeper, registry, upload};
        window = MainWindow::Create(GetModuleHandleA(nullptr), services, settings).window;
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

    // Sends two pending scans from the "Upload" page; the operator sees the
    // three lines of a sent batch, which is on the server, and nothing pending.
    void ExpectSendDataSends(const FtpTestServer& server, const std::string& more = "") {
        ASSERT_EQ(server.startError(), "");
        ASSERT_NO_FATAL_FAILURE(OpenWindowFor(server, more));
        const std::string records = Records(2);
        testing::WriteFileBytes(workDir->File("savedata.dat"), records);
        GoToUploadPage();
        ASSERT_TRUE(IsWindowEnabled(window->Control(kSendDataButton)));

        SendMessageA(window->Control(kSendDataButton), BM_CLICK, 0, 0);
        EXPECT_EQ(testing::WindowText(window->Control(kUploadLog)), "Processing File ...\r\nSending File ...");
        EXPECT_TRUE(IsWindowVisible(window->Control(kUploadProgress)));

        ASSERT_TRUE(testing::PumpUntil([&] { return !IsWindowVisible(window->Control(kUploadProgress)); }, 20000));
        EXPECT_EQ(testing::WindowText(window->Control(kUploadLog)),
                  "Processing File ...\r\nSending File ...\r\n0111080905X1.TXT File Sent.");
        std::string received;
        ASSERT_TRUE(server.ReadServerFile("in/" + kBatch, received));
        EXPECT_EQ(received, UploadFileContents(kBatch, records));
        EXPECT_EQ(GetFileAttributesA(workDir->File("savedata.dat").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(IsWindowEnabled(window->Control(kSendDataButton)));  // until the page is left
    }

    std::unique_ptr<testing::TempWorkDir> workDir;
    testing::FixedClock clock;
    testing::CountingBeeper beeper;
    Win32Registry registry;
    LocationSettings settings;
    FtpUploadPort upload{SystemFileSystem(), NewRunTag()};
    std::unique_ptr<MainWindow> window;
};

TEST_F(UploadPageTest, SendDataUploadsThePendingScansAndLogsThreeLines) {
    FtpTestServer server;
    ASSERT_NO_FATAL_FAILURE(ExpectSendDataSends(server));
}

TEST_F(UploadPageTest, SendDataOverTlsToTheServerWhoseKeyIsPinnedLooksTheSame) {
    FtpTestServerOptions options;
    options.mode = "tls";
    FtpTestServer server(options);
    ASSERT_NO_FATAL_FAILURE(ExpectSendDataSends(server, "t=1;k=" + server.ServerKeyPin() + ";"));
}

TEST_F(UploadPageTest, RefusedLoginNamesServerUserAndWhatToCorrectAndTheLogKeepsIt) {
    FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    ASSERT_NO_FATAL_FAILURE(OpenWindowFor(server, "p=wrong;"));
    testing::WriteFileBytes(workDir->File("savedata.dat"), Records(2));
    GoToUploadPage();
    testing::MessageBoxWatcher boxes;

    SendMessageA(window->Control(kSendDataButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(testing::PumpUntil([&] { return !boxes.Boxes().empty(); }, 20000));
    testing::PumpMessages(200);

    const std::string text = boxes.Boxes()[0].text;
    for (const std::string& part : {server.hostSetting(), std::string("\"scanner\""), "/in/" + kBatch,
                                    std::string("530 "), std::string("password (p)")}) {
        EXPECT_NE(text.find(part), std::string::npos) << part << " is not in: " << text;
    }
    EXPECT_EQ(testing::WindowText(window->Control(kUploadLog)),
              "Processing File ...\r\nSending File ...\r\nNot sent: " + text);
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

    SendMessageA(window->Control(kSendDataButton), BM_CLICK, 0, 0);
    // The bar shows the share that has gone.
    HWND bar = window->Control(kUploadProgress);
    ASSERT_TRUE(testing::PumpUntil([&] { return SendMessageA(bar, PBM_GETPOS, 0, 0) > 0; }, 3000));
    EXPECT_LT(SendMessageA(bar, PBM_GETPOS, 0, 0), SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
    // The close box, pressed while the upload is under way.
    const HWND closing = window->Handle();
    const auto started = GetTickCount();
    PostMessageA(closing, WM_CLOSE, 0, 0);
    EXPECT_TRUE(testing::PumpUntil([&] { return !IsWindow(closing); }, 5000));  // stopped, not finished
    EXPECT_LT(GetTickCount() - started, 3000u);

    EXPECT_TRUE(boxes.Boxes().empty());     // without a word: the operator asked to leave
    EXPECT_EQ(testing::ReadFileBytes(workDir->File("savedata.dat")), records);
    EXPECT_EQ(GetFileAttributesA(workDir->File(kBatch).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(server.ServerFileNames("in"), std::vector<std::string>{});
}

}  // namespace
}  // namespace quendrel
