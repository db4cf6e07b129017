#include "upload/send_data_command.h"

#include <gtest/gtest.h>

#include "config/settings_rules.h"
#include "support/fake_file_system.h"
#include "support/fakes.h"
#include "upload/fake_ftp_client.h"
#include "upload/upload_batch.h"

namespace quendrel {
namespace {

using testing::FakeFileSystem;
using testing::FakeFtpClient;

class RecordingView final : public ISendDataView {
public:
    std::string log;
    std::vector<bool> pointer;  // every change of the busy pointer
    std::vector<std::string> messages;
    std::vector<bool> enabled;
    std::function<void()> onMessage;

    void SetLogText(const std::string& text) override { log = text; }
    void SetBusyPointer(bool busy) override { pointer.push_back(busy); }
    void ShowMessage(const std::string& text) override {
        messages.push_back(text);
        if (onMessage) onMessage();
    }
    void EnableSendData(bool on) override { enabled.push_back(on); }
};

const std::string kRecord1 = "UP1ABCD23E45F678901X10111080905075500042123456\r\n";
const std::string kRecord2 = "UP1ABCD23E45F678901X1011108090507510          \r\n";
const std::string kLaterScan = "UP9ZZZZ99Z99Z999999X10111080906015100000000000\r\n";
const std::string kBatch = "0111080905X1.TXT";
const std::string kThreeLines = "Processing File ...\r\nSending File ...\r\n0111080905X1.TXT File Sent.";
const std::string kTwoLines = "Processing File ...\r\nSending File ...";

class SendDataTest : public ::testing::Test {
protected:
    FakeFileSystem files;
    testing::FixedClock clock;
    FakeFtpClient ftp{&files};
    RecordingView view;
    LocationSettings settings{"127.0.0.1:2121", "scanner", "secret", "/in/", "X1"};
    SendDataCommand command{files, clock, ftp, view, settings};

    void SetUp() override { files.files["savedata.dat"] = kRecord1 + kRecord2; }
    bool FtpWasUsed() const { return !ftp.calls.empty(); }
};

TEST_F(SendDataTest, SuccessfulRunSendsTheBatchLogsThreeLinesAndClearsThePendingScans) {
    command.Run();
    EXPECT_EQ(view.log, kThreeLines);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.pointer, (std::vector<bool>{true, false}));
    EXPECT_EQ(ftp.putLocal, kBatch);
    EXPECT_EQ(ftp.putRemote, "/in/" + kBatch);
    EXPECT_EQ(ftp.putContents, "UH0111080905X1.TXT0003\r\n" + kRecord1 + kRecord2 + "<<EOF:>>\r\n");
    EXPECT_FALSE(files.Exists("savedata.dat"));
    EXPECT_TRUE(files.Exists(kBatch));  // a sent batch stays
    EXPECT_TRUE(view.enabled.empty());  // the command never touches the button
    EXPECT_FALSE(command.Running());
}

TEST_F(SendDataTest, PressingAgainAfterASuccessShowsFileNotFoundAndDeletesNothing) {
    command.Run();
    ftp.calls.clear();
    command.Run();
    EXPECT_EQ(view.log, "Processing File ...");
    EXPECT_EQ(view.messages, (std::vector<std::string>{testing::kNotFound}));
    EXPECT_TRUE(files.Exists(kBatch));
    EXPECT_FALSE(FtpWasUsed());
    EXPECT_EQ(view.pointer.back(), false);
}

TEST_F(SendDataTest, BatchThatCannotBeWrittenIsReportedAndNothingIsDeleted) {
    files.failWrites.insert(kBatch);
    command.Run();
    EXPECT_EQ(view.log, "Processing File ...");
    EXPECT_EQ(view.messages, (std::vector<std::string>{"Access is denied."}));
    EXPECT_EQ(files.files["savedata.dat"], kRecord1 + kRecord2);
    EXPECT_FALSE(FtpWasUsed());
    EXPECT_EQ(view.pointer, (std::vector<bool>{true, false}));
}

TEST_F(SendDataTest, FtpFailuresShowTheClientsTextDeleteTheBatchAndKeepEveryRecord) {
    struct Case {
        const char* what;
        std::function<void(FakeFtpClient&)> arrange;
        std::string description;
    };
    const std::vector<Case> cases = {
        {"login refused", [](FakeFtpClient& f) { f.notConnectedReadings = 1; f.waitResult = FtpStatus::Failed("530 Login incorrect."); }, "530 Login incorrect."},
        {"cannot connect", [](FakeFtpClient& f) { f.connectResult = FtpStatus::Failed("A connection with the server could not be established"); }, "A connection with the server could not be established"},
        {"transfer refused", [](FakeFtpClient& f) { f.putResult = FtpStatus::Failed("550 No such file or directory."); }, "550 No such file or directory."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeFileSystem localFiles;
        localFiles.files["savedata.dat"] = kRecord1 + kRecord2;
        FakeFtpClient localFtp(&localFiles);
        RecordingView localView;
        c.arrange(localFtp);
        SendDataCommand cmd(localFiles, clock, localFtp, localView, settings);
        cmd.Run();
        EXPECT_EQ(localView.log, kTwoLines);
        EXPECT_EQ(localView.messages, (std::vector<std::string>{c.description}));
        EXPECT_FALSE(localFiles.Exists(kBatch));
        EXPECT_EQ(localFiles.files["savedata.dat"], kRecord1 + kRecord2);
        EXPECT_EQ(localView.pointer, (std::vector<bool>{true, false}));
    }
}

TEST_F(SendDataTest, TheMessageIsShownBeforeTheBatchIsDeleted) {
    ftp.putResult = FtpStatus::Failed("426 Connection closed; transfer aborted.");
    bool batchThereDuringMessage = false;
    view.onMessage = [&] { batchThereDuringMessage = files.Exists(kBatch); };
    command.Run();
    EXPECT_TRUE(batchThereDuringMessage);
    EXPECT_FALSE(files.Exists(kBatch));
}

TEST_F(SendDataTest, SavedataThatCannotBeClearedAfterTheUploadIsReported) {
    files.failRemoves.insert("savedata.dat");
    command.Run();
    EXPECT_EQ(view.log, kThreeLines);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(view.messages[0].find("being used by another process"), std::string::npos);
    EXPECT_FALSE(files.Exists(kBatch));
    EXPECT_EQ(files.files["savedata.dat"], kRecord1 + kRecord2);
}

TEST_F(SendDataTest, BatchThatCannotBeDeletedAfterAFailureIsReportedToo) {
    ftp.putResult = FtpStatus::Failed("451 Local error.");
    files.failRemoves.insert(kBatch);
    command.Run();
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[0], "451 Local error.");
    EXPECT_NE(view.messages[1].find(kBatch), std::string::npos);
    EXPECT_EQ(files.files["savedata.dat"], kRecord1 + kRecord2);
    EXPECT_EQ(view.pointer.back(), false);
}

TEST_F(SendDataTest, ScansSavedDuringTheUploadStayPending) {
    ftp.notConnectedReadings = 1;
    ftp.duringWait = [&] { EXPECT_TRUE(files.AppendDurably("savedata.dat", kLaterScan).ok()); };
    ftp.duringPut = [&] { EXPECT_TRUE(files.AppendDurably("savedata.dat", kRecord1).ok()); };
    command.Run();
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(ftp.putContents, UploadFileContents(kBatch, kRecord1 + kRecord2));
    EXPECT_EQ(files.files["savedata.dat"], kLaterScan + kRecord1);
    EXPECT_EQ(files.replaceCalls, 1);
}

TEST_F(SendDataTest, ScanSavedAfterAnUnendedLastRecordStaysPendingAlone) {
    files.files["savedata.dat"] = kRecord1 + kRecord2.substr(0, kRecord2.size() - 2);
    ftp.duringPut = [&] { EXPECT_TRUE(files.AppendDurably("savedata.dat", kLaterScan).ok()); };
    command.Run();
    EXPECT_EQ(files.files["savedata.dat"], kLaterScan);
}

TEST_F(SendDataTest, SavedataRewrittenDuringTheUploadIsKeptWhole) {
    ftp.duringPut = [&] { files.files["savedata.dat"] = kLaterScan; };
    command.Run();
    EXPECT_EQ(view.log, kThreeLines);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(view.messages[0].find("sent again"), std::string::npos);
    EXPECT_EQ(files.files["savedata.dat"], kLaterScan);
}

TEST_F(SendDataTest, SecondPressWhileUploadingStartsNoSecondUpload) {
    ftp.notConnectedReadings = 1;
    ftp.duringWait = [&] {
        EXPECT_TRUE(command.Running());
        command.Run();
    };
    command.Run();
    EXPECT_EQ(std::count(ftp.calls.begin(), ftp.calls.end(), "Connect"), 1);
    EXPECT_EQ(std::count(ftp.calls.begin(), ftp.calls.end(), "Put"), 1);
    EXPECT_EQ(view.log, kThreeLines);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.pointer, (std::vector<bool>{true, false}));
    EXPECT_FALSE(command.Running());
}

TEST_F(SendDataTest, ClosingTheWindowDuringTheUploadStopsItQuietlyAndKeepsTheRecords) {
    ftp.duringPut = [&] {
        EXPECT_TRUE(files.AppendDurably("savedata.dat", kLaterScan).ok());
        command.Abandon();
    };
    command.Run();
    EXPECT_NE(std::find(ftp.calls.begin(), ftp.calls.end(), "Abort"), ftp.calls.end());
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(files.files["savedata.dat"], kRecord1 + kRecord2 + kLaterScan);
    EXPECT_FALSE(files.Exists(kBatch));
    EXPECT_FALSE(command.Running());
}

TEST_F(SendDataTest, AbandonWithNoUploadRunningDoesNothing) {
    command.Abandon();
    EXPECT_TRUE(ftp.calls.empty());
    command.Run();
    EXPECT_EQ(view.log, kThreeLines);
}

TEST_F(SendDataTest, BatchOfTheSameMinuteAlreadyThereIsRefusedWithNothingWrittenSentOrDeleted) {
    command.Run();
    files.files["savedata.dat"] = kLaterScan;
    const std::string firstBatch = files.files[kBatch];
    ftp.calls.clear();
    view.messages.clear();
    clock.time.second = 59;
    command.Run();
    EXPECT_EQ(view.log, "Processing File ...");
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(view.messages[0].find("try again in a minute"), std::string::npos);
    EXPECT_EQ(files.files[kBatch], firstBatch);
    EXPECT_EQ(files.files["savedata.dat"], kLaterScan);
    EXPECT_FALSE(FtpWasUsed());
    // The next minute goes through.
    clock.time.minute = 6;
    command.Run();
    EXPECT_EQ(ftp.putLocal, "0111080906X1.TXT");
    EXPECT_FALSE(files.Exists("savedata.dat"));
}

TEST_F(SendDataTest, UnsafeSettingsAreRefusedBeforeAnythingIsWritten) {
    std::vector<LocationSettings> unsafe;
    for (const char* bad : {"\\", "/", ":", "*", "?", "\"", "<", ">", "|", "\r", "\n", "\t"}) {
        LocationSettings s = settings;
        s.LocationCode = std::string("X") + bad + "1";
        unsafe.push_back(s);
    }
    for (const char* bad : {"/in/\r\nDELE x", "/in\n/", "\r"}) {
        LocationSettings s = settings;
        s.RemotePath = bad;
        unsafe.push_back(s);
    }
    for (const char* bad : {"", "127.0.0.1:99999", "host:ftp", "127.0.0.1\r\n"}) {
        LocationSettings s = settings;
        s.FtpHost = bad;
        unsafe.push_back(s);
    }
    for (const LocationSettings& s : unsafe) {
        SCOPED_TRACE("code [" + s.LocationCode + "] path [" + s.RemotePath + "] host [" + s.FtpHost + "]");
        FakeFileSystem localFiles;
        localFiles.files["savedata.dat"] = kRecord1;
        FakeFtpClient localFtp(&localFiles);
        RecordingView localView;
        SendDataCommand cmd(localFiles, clock, localFtp, localView, s);
        cmd.Run();
        EXPECT_EQ(localView.log, "Processing File ...");
        ASSERT_EQ(localView.messages.size(), 1u);
        EXPECT_NE(localView.messages[0].find("location.reg"), std::string::npos);
        EXPECT_EQ(localFiles.files.size(), 1u);
        EXPECT_EQ(localFiles.writeNewCalls, 0);
        EXPECT_TRUE(localFtp.calls.empty());
    }
    EXPECT_TRUE(CheckSettingsBeforeUpload(settings).ok());
    EXPECT_TRUE(CheckSettingsBeforeUpload({"[::1]:2121", "u", "p", "", ""}).ok());
    EXPECT_TRUE(CheckSettingsBeforeUpload({"ftp.example.com", "u", "p", "in dir/", "A-1 b"}).ok());
}

TEST_F(SendDataTest, UploadTabEnablesTheButtonOnlyWhenThereIsSomethingToSend) {
    files.files.erase("savedata.dat");
    command.OnUploadTabShown();
    files.files["savedata.dat"] = "";
    command.OnUploadTabShown();
    files.files["savedata.dat"] = "U";
    command.OnUploadTabShown();
    files.files["savedata.dat"] = kRecord1;
    command.OnUploadTabShown();
    EXPECT_EQ(view.enabled, (std::vector<bool>{false, false, true, true}));
}

}  // namespace
}  // namespace quendrel
