#include "upload/send_data_command.h"

#include <cstdint>

#include "config/settings_rules.h"
#include "platform/clock.h"

namespace quendrel {

SendDataCommand::SendDataCommand(IFileSystem& files, IClock& clock, IUploadPort& upload, ISendDataView& view,
                                 const LocationSettings& settings)
    : files_(files), clock_(clock), upload_(upload), view_(view), settings_(settings) {}

SendDataCommand::~SendDataCommand() {
    if (uploading_) upload_.Cancel();
}

void SendDataCommand::Run() {
    if (running_) return;  // one upload at a time; this one shows the hourglass already
    running_ = true;
    abandoned_ = false;
    waited_ = false;
    sendingLogged_ = false;
    view_.SetBusyPointer(true);

    log_ = kLogProcessing;
    view_.SetLogText(log_);
    SendBatch();
}

void SendDataCommand::SendBatch() {
    batch_ = {};
    const Status built = BuildBatch();
    if (!built.ok()) {
        if (!batch_.nameTaken || !WaitForNextMinute(TimestampDigits(clock_.Now(), false))) Fail(built.description);
        return;
    }
    if (!sendingLogged_) AppendLog(kLogSending);
    sendingLogged_ = true;
    view_.ShowProgress(0, batch_.fileSize);
    uploading_ = true;
    upload_.Start(settings_, batch_.fileName, view_.UploadWake());
}

Status SendDataCommand::BuildBatch() {
    const Status usable = CheckSettingsBeforeUpload(settings_);
    if (!usable.ok()) return usable;
    return BuildUploadFile(files_, clock_.Now(), settings_.LocationCode, batch_);
}

bool SendDataCommand::WaitForNextMinute(const std::string& minute) {
    if (waited_) return false;
    waited_ = true;
    waitingMinute_ = minute;
    return true;
}

void SendDataCommand::OnClockTick() {
    if (waitingMinute_.empty() || abandoned_) return;
    if (TimestampDigits(clock_.Now(), false) == waitingMinute_) return;
    waitingMinute_.clear();
    SendBatch();
}

void SendDataCommand::OnUploadEvents() {
    for (const UploadEvent& event : upload_.TakeEvents()) {
        if (!uploading_) return;
        switch (event.kind) {
            case UploadEvent::Kind::Progress:
                if (!abandoned_) view_.ShowProgress(event.sent, event.total);
                break;
            case UploadEvent::Kind::Note: AppendLog(event.note); break;
            case UploadEvent::Kind::Finished: Finish(event.outcome, event.nameTaken); break;
        }
    }
}

void SendDataCommand::Finish(const Status& sent, bool nameTaken) {
    uploading_ = false;
    if (!abandoned_) view_.HideProgress();
    if (!sent.ok()) {
        if (nameTaken && !abandoned_ && WaitForNextMinute(batch_.fileName.substr(0, kBatchTimestampLength))) {
            // The batch of this minute's name goes; the next one's is made anew.
            RemoveBatch(batch_.fileName);
            batch_ = {};
            return;
        }
        Fail(sent.description);
        return;
    }
    AppendLog(batch_.fileName + kLogSentSuffix);
    const Status cleared = ClearSentRecords();
    if (!cleared.ok()) {
        Fail(cleared.description);
        return;
    }
    End();
}

// Only the records that went into the batch leave savedata.dat; scans saved
// while the upload ran stay pending.
Status SendDataCommand::ClearSentRecords() {
    std::string current;
    const Status read = files_.ReadAll(kSaveDataFile, current);
    if (!read.ok()) return read;
    const auto rest = RecordsAddedSince(batch_.sentRecords, current);
    if (!rest) {
        return Status::Failed(std::string(kSaveDataFile) + " changed in an unexpected way during the upload, so the "
               "records sent in " + batch_.fileName + " could not be told apart and were kept. They will be sent "
               "again with the next upload.");
    }
    return rest->empty() ? files_.Remove(kSaveDataFile) : files_.ReplaceAtomically(kSaveDataFile, *rest);
}

void SendDataCommand::AppendLog(const std::string& line) {
    log_ += "\r\n" + line;
    if (!abandoned_) view_.SetLogText(log_);
}

void SendDataCommand::Fail(const std::string& description) {
    if (!abandoned_) view_.ShowMessage(description);
    // Once the message is closed, the log still says what failed.
    AppendLog(kLogNotSentPrefix + description);
    if (!batch_.fileName.empty()) RemoveBatch(batch_.fileName);
    End();
}

void SendDataCommand::End() {
    if (!abandoned_) view_.SetBusyPointer(false);
    running_ = false;
}

void SendDataCommand::RemoveBatch(const std::string& fileName) {
    const Status removed = files_.Remove(fileName);
    if (!removed.ok() && files_.Exists(fileName) && !abandoned_) {
        view_.ShowMessage("The batch file " + fileName + " of this failed upload could not be deleted: " +
                          removed.description);
    }
}

void SendDataCommand::Abandon() {
    if (!running_) return;
    abandoned_ = true;
    if (uploading_) {
        upload_.Cancel();
    } else {
        waitingMinute_.clear();  // nothing is under way: the run ends here
        End();
    }
}

void SendDataCommand::OnUploadTabShown() {
    std::uint64_t size = 0;
    const Status status = files_.Size(kSaveDataFile, size);
    view_.EnableSendData(status.ok() && size >= 1);
}

}  // namespace quendrel
