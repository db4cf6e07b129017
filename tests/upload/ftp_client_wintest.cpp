// The WinINet FTP client against a real FTP server on 127.0.0.1
// (tests/support/ftp_test_server.py).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>

#include "platform/ftp_client_win.h"
#include "platform/unique_handle_win.h"
#include "support/ftp_test_server_win.h"
#include "upload/send_file.h"

namespace quendrel {
namespace {

using namespace std::chrono_literals;
using testing::FtpTestServer;
using testing::FtpTestServerOptions;

// Short enough that the bound's tests take seconds, not half a minute.
constexpr std::chrono::milliseconds kTestBound{1500};

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

class FtpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = testing::MakeScratchFolder("ftp-client");
        ASSERT_TRUE(::SetCurrentDirectoryA(folder_.c_str()));
    }
    void TearDown() override { ::SetCurrentDirectoryA(testing::WindowsPathOf(QUENDREL_BINARY_DIR).c_str()); }

    static void WriteLocal(const std::string& name, const std::string& bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }
    static LocationSettings SettingsFor(const FtpTestServer& server, const std::string& password = testing::kFtpTestPassword,
                                        const std::string& remotePath = "/in/") {
        return {server.hostSetting(), testing::kFtpTestUser, password, remotePath, "X1"};
    }

    std::string folder_;
};

// Counts the ticks of a thread timer, which only the wait's own message
// dispatching can deliver while the client is busy.
struct TickCounter {
    static inline int ticks = 0;
    static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) { ++ticks; }
};

TEST_F(FtpClientTest, UploadArrivesByteForByte) {
    FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    const std::string bytes = RandomBytes(3 * 1024 * 1024 + 17, 1) + "\r\n\x1A\r\n<<EOF:>>\r\n";
    WriteLocal("0111080905X1.TXT", bytes);

    WinInetFtpClient ftp;
    TickCounter::ticks = 0;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &TickCounter::OnTick);
    const FtpStatus status = SendFile(ftp, SettingsFor(server), "0111080905X1.TXT");
    ::KillTimer(nullptr, timer);
    ASSERT_EQ(status.description, "");

    std::string received;
    ASSERT_TRUE(server.ReadServerFile("in/0111080905X1.TXT", received));
    EXPECT_EQ(received.size(), bytes.size());
    EXPECT_TRUE(received == bytes);
}

TEST_F(FtpClientTest, RemotePathIsPutInFrontOfTheNameAsItIs) {
    FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    WriteLocal("A.TXT", "one\r\n");
    WinInetFtpClient ftp;
    ASSERT_EQ(SendFile(ftp, SettingsFor(server, testing::kFtpTestPassword, "/in/pre-"), "A.TXT").description, "");
    ASSERT_EQ(SendFile(ftp, SettingsFor(server, testing::kFtpTestPassword, ""), "A.TXT").description, "");
    std::string received;
    EXPECT_TRUE(server.ReadServerFile("in/pre-A.TXT", received));
    EXPECT_EQ(received, "one\r\n");
    EXPECT_TRUE(server.ReadServerFile("A.TXT", received));
}

TEST_F(FtpClientTest, RefusedLoginCarriesTheServersReply) {
    FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    WriteLocal("A.TXT", "one\r\n");
    WinInetFtpClient ftp;
    const FtpStatus status = SendFile(ftp, SettingsFor(server, "wrong password"), "A.TXT");
    EXPECT_EQ(status.description.substr(0, 4), "530 ") << status.description;
    std::string received;
    EXPECT_FALSE(server.ReadServerFile("in/A.TXT", received));
}

TEST_F(FtpClientTest, MissingRemoteFolderCarriesTheServersReply) {
    FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    WriteLocal("A.TXT", "one\r\n");
    WinInetFtpClient ftp;
    const FtpStatus status = SendFile(ftp, SettingsFor(server, testing::kFtpTestPassword, "/nowhere/"), "A.TXT");
    EXPECT_EQ(status.description.substr(0, 4), "550 ") << status.description;
}

TEST_F(FtpClientTest, NothingListeningGivesTheSystemsMessage) {
    // A port that was free a moment ago, with nobody listening on it.
    FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    const std::string host = server.hostSetting();
    server.Stop();
    WriteLocal("A.TXT", "one\r\n");
    WinInetFtpClient ftp;
    LocationSettings settings{host, testing::kFtpTestUser, testing::kFtpTestPassword, "/in/", "X1"};
    const FtpStatus status = SendFile(ftp, settings, "A.TXT");
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.description, DescribeWinInetError(12029, ""));  // ERROR_INTERNET_CANNOT_CONNECT
    EXPECT_EQ(status.description.find("error 12029"), std::string::npos) << "no system text: " << status.description;
}

TEST_F(FtpClientTest, ServerThatNeverAnswersEndsAtTheBoundWhileMessagesFlow) {
    FtpTestServerOptions options;
    options.mode = "silent";
    FtpTestServer server(options);
    ASSERT_EQ(server.startError(), "");
    WriteLocal("A.TXT", "one\r\n");
    WinInetFtpClient ftp(kTestBound);
    TickCounter::ticks = 0;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &TickCounter::OnTick);
    const auto started = std::chrono::steady_clock::now();
    const FtpStatus status = SendFile(ftp, SettingsFor(server), "A.TXT");
    const auto took = std::chrono::steady_clock::now() - started;
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(status.description, "The FTP server " + server.hostSetting() + " did not answer within 1500 milliseconds.");
    EXPECT_GE(took, kTestBound);
    EXPECT_LT(took, kTestBound + 8s);  // Wine's own give-up is a minute
    EXPECT_GE(TickCounter::ticks, 5);  // the window's events went on during the wait
}

TEST_F(FtpClientTest, StalledTransferEndsAtTheBound) {
    FtpTestServerOptions options;
    options.mode = "stall";
    options.stallAfter = 256 * 1024;
    FtpTestServer server(options);
    ASSERT_EQ(server.startError(), "");
    // Far more than the loopback's socket buffers can swallow.
    WriteLocal("BIG.TXT", RandomBytes(48 * 1024 * 1024, 2));
    WinInetFtpClient ftp(kTestBound);
    const auto started = std::chrono::steady_clock::now();
    const FtpStatus status = SendFile(ftp, SettingsFor(server), "BIG.TXT");
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(status.description, "The transfer to the FTP server " + server.hostSetting() +
                                      " made no progress for 1500 milliseconds.");
    EXPECT_LT(took, kTestBound + 20s);
    std::string stump;
    EXPECT_FALSE(server.ReadServerFile("in/BIG.TXT", stump)) << stump.size() << " bytes left on the server";
    // The given-up worker holds no handle on the batch: a retry may replace it at once.
    EXPECT_TRUE(unique_hfile(::CreateFileA("BIG.TXT", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)));
}

TEST_F(FtpClientTest, ServerStoppedInTheMiddleOfALargeTransferIsAFailure) {
    FtpTestServerOptions options;
    options.dieAfter = 2 * 1024 * 1024;
    options.readLimit = 8 * 1024 * 1024;
    FtpTestServer server(options);
    ASSERT_EQ(server.startError(), "");
    const std::string bytes = RandomBytes(24 * 1024 * 1024, 3);
    WriteLocal("BIG.TXT", bytes);
    WinInetFtpClient ftp(kTestBound);
    const FtpStatus status = SendFile(ftp, SettingsFor(server), "BIG.TXT");
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.description.find("(error "), std::string::npos) << "no system text: " << status.description;
    std::string received;
    if (server.ReadServerFile("in/BIG.TXT", received)) {
        EXPECT_LT(received.size(), bytes.size());
    }
}

TEST_F(FtpClientTest, AbortDuringTheWaitEndsItAtOnce) {
    FtpTestServerOptions options;
    options.mode = "silent";
    FtpTestServer server(options);
    ASSERT_EQ(server.startError(), "");
    WriteLocal("A.TXT", "one\r\n");
    static WinInetFtpClient* client = nullptr;
    WinInetFtpClient ftp(30s);
    client = &ftp;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK { client->Abort(); });
    const auto started = std::chrono::steady_clock::now();
    const FtpStatus status = SendFile(ftp, SettingsFor(server), "A.TXT");
    const auto took = std::chrono::steady_clock::now() - started;
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(status.description, "The upload was stopped because the program is closing.");
    EXPECT_LT(took, 10s);
}

TEST_F(FtpClientTest, QuitMessageDuringTheWaitStopsTheUploadAndIsKept) {
    FtpTestServerOptions options;
    options.mode = "silent";
    FtpTestServer server(options);
    ASSERT_EQ(server.startError(), "");
    WriteLocal("A.TXT", "one\r\n");
    WinInetFtpClient ftp(30s);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) CALLBACK {
        ::KillTimer(nullptr, id);
        ::PostQuitMessage(7);
    });
    const FtpStatus status = SendFile(ftp, SettingsFor(server), "A.TXT");
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(status.description, "The upload was stopped because the program is closing.");
    MSG msg;
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST(WinInetErrorText, ServerRefusalWinsOverTheSystemText) {
    EXPECT_EQ(DescribeWinInetError(12003, "530 Login incorrect.\r\n"), "530 Login incorrect.");
    EXPECT_EQ(DescribeWinInetError(12003, "550 /x: No such file or directory.\r\n"), "550 /x: No such file or directory.");
    // A leftover positive reply is no explanation of a failure.
    EXPECT_EQ(DescribeWinInetError(12030, "230 Login successful.\r\n"), DescribeWinInetError(12030, ""));
    EXPECT_NE(DescribeWinInetError(12030, ""), "");
}

}  // namespace
}  // namespace quendrel
