#include "upload/send_data_command.h"

#include <gtest/gtest.h>

#include "config/settings_rules.h"
#include "support/fake_file_system.h"
#include "support/fake_upload_port.h"
#include "support/fakes.h"
#include "upload/upload_batch.h"

namespace quendrel {
namespace {

using testing::FakeFileSystem;
using testing::FakeUploadPort;

class RecordingView final : public ISendDataView {
public:
    std::string log;
    std::vector<bool> pointer;  // every change of the busy pointer
    std::vector<std::string> messages;
    std::vector<bool> enabled;
    std::vector<std::string> progress;  // "sent/total", "hidden"
    std::function<void()> onMessage;
    std::function<void()> wake;

    void SetLogText(const std::string& text) override { log = text; }
    void SetBusyPointer(bool busy) override { pointer.push_back(busy); }
    void ShowMessage(const std::string& text) override {
        messages.push_back(text);
        if (onMessage) onMessage();
    }
    void EnableSendData(bool on) override { enabled.push_back(on); }
    void ShowProgress(std::uint64_t sent, std::uint64_t total) override {
        progress.push_back(std::to_string(sent) + "/" + std::to_string(total));
    }
    void HideProgress() override { progress.push_back("hidden"); }
    std::function<void()> UploadWake() override { return [this] { wake(); }; }
};

const std::string kRecord1 = "UP1ABCD23E45F678901X10111080905075500042123456\r\n";
const std::string kRecord2 = "UP1ABCD23E45F678901X1011108090507510          \r\n";
const std::string kLaterScan = "UP9ZZZZ99Z99Z999999X10111080906015100000000000\r\n";
const std::string kBatch = "0111080905X1.TXT";
const std::string kThreeLines = "Processing File ...\r\nSending File ...\r\n0111080905X1.TXT File Sent.";
const std::string kTwoLines = "Processing File ...\r\nSending File ...";

// Runs the command to its end, the upload ending as `outcome`; `during`
// happens while the upload runs.
class SendDataTest : public ::testing::Test {
protected:
    FakeFileSystem files;
    testing::FixedClock clock;
    FakeUploadPort upload{&files};
    RecordingView view;
    LocationSettings settings{"127.0.0.1:2121", "scanner", "secret", "/in/", "X1"};
    SendDataCommand command{files, clock, upload, view, settings};

    void SetUp() override {
        files.files["savedata.dat"] = kRecord1 + kRecord2;
        view.wake = [this] { command.OnUploadEvents(); };
    }
    void RunEndingAs(Status outcome, const std::function<void()>& during = {}) {
        command.Run();
        if (during) during();
        if (command.Running()) upload.Finish(std::move(outcome));
    }
    bool FtpWasUsed() const { return upload.starts != 0; }
};

TEST_F(SendDataTest, SuccessfulRunSendsTheBatchLogsThreeLinesAndClearsThePendingScans) {
    command.Run();
    EXPECT_EQ(view.log, kTwoLines);
    EXPECT_TRUE(command.Running());
    EXPECT_EQ(upload.batchName, kBatch);
    EXPECT_EQ(upload.remotePath, "/in/");
    EXPECT_EQ(upload.batchContents, "UH0111080905X1.TXT0003\r\n" + kRecord1 + kRecord2 + "<<EOF:>>\r\n");
    UploadEvent progress;
    progress.kind = UploadEvent::Kind::Progress;
    progress.sent = 40;
    progress.total = 130;
    upload.Tell(progress);
    upload.Finish(Status::Ok());
    EXPECT_EQ(view.log, kThreeLines);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.pointer, (std::vector<bool>{true, false}));
    EXPECT_EQ(view.progress, (std::vector<std::string>{"0/130", "40/130", "hidden"}));
    EXPECT_FALSE(files.Exists("savedata.dat"));
    EXPECT_TRUE(files.Exists(kBatch));  // a sent batch stays
    EXPECT_TRUE(view.enabled.empty());  // the command never touches the button
    EXPECT_FALSE(command.Running());
}

TEST_F(SendDataTest, AnUploadsNoteGoesIntoTheLogBeforeTheLastLine) {
    command.Run();
    UploadEvent note;
    note.kind = UploadEvent::Kind::Note;
    note.note = kNoRenameNote;
    upload.Tell(note);
    upload.Finish(Status::Ok());
    EXPECT_EQ(view.log, kTwoLines + "\r\n" + kNoRenameNote + "\r\n" + kBatch + kLogSentSuffix);
}

TEST_F(SendDataTest, PressingAgainAfterASuccessShowsFileNotFoundAndDeletesNothing) {
    RunEndingAs(Status::Ok());
    upload.starts = 0;
    command.Run();
    EXPECT_EQ(view.log, "Processing File ...\r\nNot sent: " + std::string(testing::kNotFound));
    EXPECT_EQ(view.messages, (std::vector<std::string>{testing::kNotFound}));
    EXPECT_TRUE(files.Exists(kBatch));
    EXPECT_FALSE(FtpWasUsed());
    EXPECT_EQ(view.pointer.back(), false);
}

TEST_F(SendDataTest, BatchThatCannotBeWrittenIsReportedAndNothingIsDeleted) {
    files.failWrites.insert(kBatch);
    command.Run();
    EXPECT_EQ(view.log, "Processing File ...\r\nNot sent: Access is denied.");
    EXPECT_EQ(view.messages, (std::vector<std::string>{"Access is denied."}));
    EXPECT_EQ(files.files["savedata.dat"], kRecord1 + kRecord2);
    EXPECT_FALSE(FtpWasUsed());
    EXPECT_EQ(view.pointer, (std::vector<bool>{true, false}));
}

TEST_F(SendDataTest, FailedUploadShowsItsTextDeletesTheBatchAndKeepsEveryRecord) {
    RunEndingAs(Status::Failed("530 Login incorrect."));
    EXPECT_EQ(view.log, kTwoLines + "\r\nNot sent: 530 Login incorrect.");  // what failed, once the message is closed
    EXPECT_EQ(view.messages, (std::vector<std::string>{"530 Login incorrect."}));
    EXPECT_FALSE(files.Exists(kBatch));
    EXPECT_EQ(files.files["savedata.dat"], kRecord1 + kRecord2);
    EXPECT_EQ(view.pointer, (std::vector<bool>{true, false}));
    EXPECT_EQ(view.progress.back(), "hidden");
}

TEST_F(SendDataTest, TheMessageIsShownBeforeTheBatchIsDeleted) {
    bool batchThereDuringMessage = false;
    view.onMessage = [&] { batchThereDuringMessage = files.Exists(kBatch); };
    RunEndingAs(Status::Failed("426 Connection closed; transfer aborted."));
    EXPECT_TRUE(batchThereDuringMessage);
    EXPECT_FALSE(files.Exists(kBatch));
}

TEST_F(SendDataTest, SavedataThatCannotBeClearedAfterTheUploadIsReported) {
    files.failRemoves.insert("savedata.dat");
    RunEndingAs(Status::Ok());
    EXPECT_EQ(view.log.rfind(kThreeLines + "\r\nNot sent: ", 0), 0u);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(view.messages[0].find("being used by another process"), std::string::npos);
    EXPECT_FALSE(files.Exists(kBatch));
    EXPECT_EQ(files.files["savedata.dat"], kRecord1 + kRecord2);
}

TEST_F(SendDataTest, BatchThatCannotBeDeletedAfterAFailureIsReportedToo) {
    files.failRemoves.insert(kBatch);
    RunEndingAs(Status::Failed("451 Local error."));
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[0], "451 Local error.");
    EXPECT_NE(view.messages[1].find(kBatch), std::string::npos);
    EXPECT_EQ(files.files["savedata.dat"], kRecord1 + kRecord2);
    EXPECT_EQ(view.pointer.back(), false);
}

TEST_F(SendDataTest, ScansSavedDuringTheUploadStayPending) {
    RunEndingAs(Status::Ok(), [&] {
        EXPECT_TRUE(files.AppendDurably("savedata.dat", kLaterScan).ok());
        EXPECT_TRUE(files.AppendDurably("savedata.dat", kRecord1).ok());
    });
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(upload.batchContents, UploadFileContents(kBatch, kRecord1 + kRecord2));
    EXPECT_EQ(files.files["savedata.dat"], kLaterScan + kRecord1);
    EXPECT_EQ(files.replaceCalls, 1);
}

TEST_F(SendDataTest, ScanSavedAfterAnUnendedLastRecordStaysPendingAlone) {
    files.files["savedata.dat"] = kRecord1 + kRecord2.substr(0, kRecord2.size() - 2);
    RunEndingAs(Status::Ok(), [&] { EXPECT_TRUE(files.AppendDurably("savedata.dat", kLaterScan).ok()); });
    EXPECT_EQ(files.files["savedata.dat"], kLaterScan);
}

TEST_F(SendDataTest, SavedataRewrittenDuringTheUploadIsKeptWhole) {
    RunEndingAs(Status::Ok(), [&] { files.files["savedata.dat"] = kLaterScan; });
    EXPECT_EQ(view.log.rfind(kThreeLines + "\r\nNot sent: ", 0), 0u);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(view.messages[0].find("sent again"), std::string::npos);
    EXPECT_EQ(files.files["savedata.dat"], kLaterScan);
}

TEST_F(SendDataTest, SecondPressWhileUploadingStartsNoSecondUpload) {
    RunEndingAs(Status::Ok(), [&] {
        EXPECT_TRUE(command.Running());
        command.Run();
    });
    EXPECT_EQ(upload.starts, 1);
    EXPECT_EQ(view.log, kThreeLines);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.pointer, (std::vector<bool>{true, false}));
    EXPECT_FALSE(command.Running());
}

TEST_F(SendDataTest, ClosingTheWindowDuringTheUploadStopsItQuietlyAndKeepsTheRecords) {
    RunEndingAs(Status::Failed("The upload was stopped because the program is closing."), [&] {
        EXPECT_TRUE(files.AppendDurably("savedata.dat", kLaterScan).ok());
        command.Abandon();
    });
    EXPECT_TRUE(upload.cancelled);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(files.files["savedata.dat"], kRecord1 + kRecord2 + kLaterScan);
    EXPECT_FALSE(files.Exists(kBatch));
    EXPECT_FALSE(command.Running());
}

TEST_F(SendDataTest, AbandonWithNoUploadRunningDoesNothing) {
    command.Abandon();
    EXPECT_FALSE(upload.cancelled);
    RunEndingAs(Status::Ok());
    EXPECT_EQ(view.log, kThreeLines);
}

TEST_F(SendDataTest, BatchOfTheSameMinuteAlreadyThereWaitsForTheNextMinuteAndGoesUnderItsName) {
    RunEndingAs(Status::Ok());
    files.files["savedata.dat"] = kLaterScan;
    const std::string firstBatch = files.files[kBatch];
    upload.starts = 0;
    view.messages.clear();
    clock.time.second = 58;
    command.Run();
    clock.time.second = 59;
    command.OnClockTick();
    EXPECT_EQ(view.log, "Processing File ...");
    EXPECT_TRUE(command.Running());
    EXPECT_EQ(files.files[kBatch], firstBatch);
    EXPECT_FALSE(FtpWasUsed());
    clock.time.minute = 6;
    clock.time.second = 0;
    command.OnClockTick();
    EXPECT_EQ(upload.batchName, "0111080906X1.TXT");
    upload.Finish(Status::Ok());
    EXPECT_EQ(view.log, "Processing File ...\r\nSending File ...\r\n0111080906X1.TXT File Sent.");
    EXPECT_TRUE(view.messages.empty());
    EXPECT_FALSE(files.Exists("savedata.dat"));
}

TEST_F(SendDataTest, NameTakenOnTheServerIsTriedOnceMoreUnderTheNextMinutesNameThenRefused) {
    command.Run();
    UploadEvent taken;
    taken.outcome = Status::Failed("A batch named 0111080905X1.TXT is already on the FTP server");
    taken.nameTaken = true;
    upload.Tell(taken);
    EXPECT_FALSE(files.Exists(kBatch));
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.log, kTwoLines);
    clock.time.minute = 6;
    command.OnClockTick();
    ASSERT_EQ(upload.starts, 2);
    EXPECT_EQ(upload.batchContents, "UH0111080906X1.TXT0003\r\n" + kRecord1 + kRecord2 + "<<EOF:>>\r\n");
    taken.outcome = Status::Failed("A batch named 0111080906X1.TXT is already on the FTP server");
    upload.Tell(taken);
    EXPECT_EQ(view.messages, std::vector<std::string>{taken.outcome.description});
    EXPECT_FALSE(command.Running());
    EXPECT_EQ(files.files["savedata.dat"], kRecord1 + kRecord2);
    EXPECT_FALSE(files.Exists("0111080906X1.TXT"));
}

TEST_F(SendDataTest, ClosingWhileARunWaitsForTheNextMinuteEndsItAtOnce) {
    files.files[kBatch] = "an earlier batch of this minute";
    command.Run();
    ASSERT_TRUE(command.Running());
    command.Abandon();
    EXPECT_FALSE(command.Running());
    clock.time.minute = 6;
    command.OnClockTick();
    EXPECT_FALSE(FtpWasUsed());
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
        FakeUploadPort localUpload;
        RecordingView localView;
        SendDataCommand cmd(localFiles, clock, localUpload, localView, s);
        cmd.Run();
        EXPECT_EQ(localView.log.rfind("Processing File ...\r\nNot sent: ", 0), 0u);
        ASSERT_EQ(localView.messages.size(), 1u);
        EXPECT_NE(localView.messages[0].find("location.reg"), std::string::npos);
        EXPECT_EQ(localFiles.files.size(), 1u);
        EXPECT_EQ(localFiles.writeNewCalls, 0);
        EXPECT_EQ(localUpload.starts, 0);
    }
    EXPECT_TRUE(CheckSettingsBeforeUpload(settings).ok());
    EXPECT_TRUE(CheckSettingsBeforeUpload({"[::1]:2121", "u", "p", "", ""}).ok());
    EXPECT_TRUE(CheckSettingsBeforeUpload({"ftp.example.com", "u", "p", "in dir/", "A-1_b"}).ok());
}

TEST_F(SendDataTest, PendingScansOfAnotherLocationAreNamedAndNeitherSentNorDeleted) {
    LocationSettings moved = settings;
    moved.LocationCode = "X2";
    SendDataCommand movedCommand(files, clock, upload, view, moved);
    movedCommand.Run();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(view.messages[0].find("2 pending scans were recorded for location X1; this PC is now X2"), std::string::npos)
        << view.messages[0];
    EXPECT_FALSE(FtpWasUsed());
    EXPECT_EQ(files.files["savedata.dat"], kRecord1 + kRecord2);
    EXPECT_EQ(files.files.size(), 1u);
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
