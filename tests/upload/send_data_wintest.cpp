// The Send Data command end to end: real files in a scratch working
// directory, the WinINet client, and a real FTP server on 127.0.0.1.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/ftp_client_win.h"
#include "support/fakes.h"
#include "support/ftp_test_server_win.h"
#include "upload/send_data_command.h"
#include "upload/upload_batch.h"

namespace quendrel {
namespace {

using testing::FtpTestServer;
using testing::FtpTestServerOptions;

class RecordingView final : public ISendDataView {
public:
    std::string log;
    std::vector<std::string> messages;
    void SetLogText(const std::string& text) override { log = text; }
    void SetBusyPointer(bool) override {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void EnableSendData(bool) override {}
};

const std::string kBatch = "0111080905X1.TXT";
const std::string kLaterScan = "UP9ZZZZ99Z99Z999999X10111080906015100000000000\r\n";

std::string Records(int count) {
    std::string records;
    for (int i = 0; i < count; ++i) {
        std::string vin = "1ABCD23E45F" + std::to_string(100000 + i);
        records += "UP" + vin + "X1011108090507550004212345" + std::to_string(i % 10) + "\r\n";
    }
    return records;
}

class SendDataEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(::SetCurrentDirectoryA(testing::MakeScratchFolder("send-data").c_str()));
    }
    void TearDown() override {
        ::SetCurrentDirectoryA(testing::WindowsPathOf(QUENDREL_BINARY_DIR).c_str());
    }

    void Run(const FtpTestServer& server, const std::string& password = testing::kFtpTestPassword,
             IFtpClient* client = nullptr) {
        ASSERT_EQ(server.startError(), "");
        view.messages.clear();
        settings = {server.hostSetting(), testing::kFtpTestUser, password, "/in/", "X1"};
        SendDataCommand command(files, clock, client ? *client : ftp, view, settings);
        command.Run();
    }
    // A failed run keeps every record and leaves no batch, here or on the server.
    void ExpectNothingSent(const FtpTestServer& server, const std::string& records) {
        EXPECT_EQ(view.log, "Processing File ...\r\nSending File ...");
        EXPECT_EQ(Savedata(), records);
        EXPECT_FALSE(files.Exists(kBatch));
        std::string stump;
        EXPECT_FALSE(server.ReadServerFile("in/" + kBatch, stump)) << stump.size() << " bytes left on the server";
    }
    std::string Pending(int count) {
        const std::string records = Records(count);
        EXPECT_TRUE(files.WriteNew(kSaveDataFile, records).ok());
        return records;
    }
    static bool Received(const FtpTestServer& server, const std::string& records) {
        std::string received;
        return server.ReadServerFile("in/" + kBatch, received) && received == UploadFileContents(kBatch, records);
    }
    std::string Savedata() {
        std::string contents;
        return files.ReadAll(kSaveDataFile, contents).ok() ? contents : "<missing>";
    }

    IFileSystem& files = SystemFileSystem();
    testing::FixedClock clock;
    WinInetFtpClient ftp{std::chrono::milliseconds(10000)};
    RecordingView view;
    LocationSettings settings;
};

TEST_F(SendDataEndToEnd, PendingScansArriveOnTheServerAndLeaveSavedata) {
    FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    const std::string records = Records(2);
    ASSERT_TRUE(files.WriteNew(kSaveDataFile, records).ok());
    Run(server);
    EXPECT_TRUE(view.messages.empty()) << view.messages[0];
    EXPECT_EQ(view.log, "Processing File ...\r\nSending File ...\r\n0111080905X1.TXT File Sent.");
    std::string received;
    ASSERT_TRUE(server.ReadServerFile("in/" + kBatch, received));
    EXPECT_EQ(received, "UH0111080905X1.TXT0003\r\n" + records + "<<EOF:>>\r\n");
    EXPECT_FALSE(files.Exists(kSaveDataFile));
    EXPECT_TRUE(files.Exists(kBatch));
}

TEST_F(SendDataEndToEnd, RefusedLoginShowsTheServersReplyAndKeepsEveryRecord) {
    FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    const std::string records = Records(2);
    ASSERT_TRUE(files.WriteNew(kSaveDataFile, records).ok());
    Run(server, "not the password");
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].substr(0, 4), "530 ") << view.messages[0];
    EXPECT_EQ(view.log, "Processing File ...\r\nSending File ...");
    EXPECT_EQ(Savedata(), records);
    EXPECT_FALSE(files.Exists(kBatch));
}

TEST_F(SendDataEndToEnd, ServerGoneInTheMiddleOfTheUploadKeepsEveryRecord) {
    FtpTestServerOptions options;
    options.dieAfter = 256 * 1024;
    options.readLimit = 512 * 1024;
    FtpTestServer server(options);
    ASSERT_EQ(server.startError(), "");
    const std::string records = Records(40000);  // about 2 MB
    ASSERT_TRUE(files.WriteNew(kSaveDataFile, records).ok());
    Run(server);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.log, "Processing File ...\r\nSending File ...");
    EXPECT_EQ(Savedata(), records);
    EXPECT_FALSE(files.Exists(kBatch));
}

TEST_F(SendDataEndToEnd, StoreRefusedPartWayOnAServerWithoutSizeKeepsEveryRecordAndLeavesNoStump) {
    FtpTestServerOptions options;
    options.sizeReply = "500 Unknown command.";
    options.refuseStoreAfter = 256 * 1024;
    FtpTestServer server(options);
    ASSERT_EQ(server.startError(), "");
    const std::string records = Pending(40000);  // about 2 MB
    Run(server);
    EXPECT_EQ(view.messages, std::vector<std::string>{"552 Requested file action aborted. Exceeded storage allocation."});
    ExpectNothingSent(server, records);
}

TEST_F(SendDataEndToEnd, CompleteStoreIsSentWhereSizeIsUnknownOrRefused) {
    for (const char* sizeReply : {"500 Unknown command.", "550 SIZE not allowed on this server."}) {
        FtpTestServerOptions options;
        options.sizeReply = sizeReply;
        FtpTestServer server(options);
        (void)files.Remove(kBatch);  // the previous round's batch, if any
        const std::string records = Pending(2);
        Run(server);
        EXPECT_EQ(view.messages, std::vector<std::string>{}) << sizeReply;
        EXPECT_TRUE(Received(server, records) && !files.Exists(kSaveDataFile)) << sizeReply;
    }
}

TEST_F(SendDataEndToEnd, BatchOf100KilobytesGoesThroughALinkOf2000BytesASecond) {
    FtpTestServerOptions options;
    options.readLimit = 2000;
    FtpTestServer server(options);
    const std::string records = Pending(2100);  // a batch of 100,834 bytes
    WinInetFtpClient productBound;
    Run(server, testing::kFtpTestPassword, &productBound);
    EXPECT_EQ(view.messages, std::vector<std::string>{});
    EXPECT_TRUE(Received(server, records) && !files.Exists(kSaveDataFile));
}

TEST_F(SendDataEndToEnd, BatchNameAlreadyOnTheServerIsRefusedWithOrWithoutSize) {
    for (const char* sizeReply : {"", "500 Unknown command."}) {
        FtpTestServerOptions options;
        options.existingFile = "in/" + kBatch;
        options.sizeReply = sizeReply;
        FtpTestServer server(options);
        const std::string records = Pending(2);
        Run(server);
        EXPECT_EQ(view.messages, std::vector<std::string>{NameTakenOnServerMessage(kBatch)}) << sizeReply;
        EXPECT_TRUE(Savedata() == records && !files.Exists(kBatch));
        std::string first;
        EXPECT_TRUE(server.ReadServerFile("in/" + kBatch, first) && first == "a batch that was here first\r\n");
    }
}

// Saves a scan the way the scan page does, from a timer that only the
// upload's message-dispatching wait can deliver.
void CALLBACK SaveScanDuringUpload(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    EXPECT_TRUE(SystemFileSystem().AppendDurably(kSaveDataFile, kLaterScan).ok());
}

TEST_F(SendDataEndToEnd, ScansRecordedDuringTheUploadStayPending) {
    FtpTestServerOptions options;
    options.readLimit = 400 * 1024;  // the upload takes a couple of seconds
    FtpTestServer server(options);
    ASSERT_EQ(server.startError(), "");
    const std::string records = Records(20000);  // about 1 MB
    ASSERT_TRUE(files.WriteNew(kSaveDataFile, records).ok());
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, &SaveScanDuringUpload);
    Run(server);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(view.messages.empty()) << view.messages[0];
    std::string received;
    ASSERT_TRUE(server.ReadServerFile("in/" + kBatch, received));
    EXPECT_TRUE(received == UploadFileContents(kBatch, records));
    EXPECT_EQ(Savedata(), kLaterScan);
}

}  // namespace
}  // namespace quendrel
