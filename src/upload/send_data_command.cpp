#include "upload/send_data_command.h"

#include <cstdint>

#include "config/settings_rules.h"
#include "upload/send_file.h"
#include "upload/upload_batch.h"

namespace quendrel {

namespace {
// Clears the running flag however the command ends.
class RunningScope {
public:
    explicit RunningScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningScope() { flag_ = false; }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;

private:
    bool& flag_;
};
}  // namespace

std::string UnsafeSettingsMessage(const LocationSettings& settings) {
    return CheckSettingsBeforeUpload(settings).description;
}

SendDataCommand::SendDataCommand(IFileSystem& files, IClock& clock, IFtpClient& ftp, ISendDataView& view,
                                 const LocationSettings& settings)
    : files_(files), clock_(clock), ftp_(ftp), view_(view), settings_(settings) {}

void SendDataCommand::Run() {
    if (running_) return;  // one upload at a time; this one shows the hourglass already
    RunningScope scope(running_);
    abandoned_ = false;
    view_.SetBusyPointer(true);

    std::string log;
    std::string builtName;
    const std::string failure = RunSteps(log, builtName);
    if (!failure.empty()) {
        ShowFailure(failure);
        if (!builtName.empty()) RemoveBatch(builtName);
    }
    if (!abandoned_) view_.SetBusyPointer(false);
}

std::string SendDataCommand::RunSteps(std::string& log, std::string& builtName) {
    log = kLogProcessing;
    view_.SetLogText(log);

    const std::string unsafe = UnsafeSettingsMessage(settings_);
    if (!unsafe.empty()) return unsafe;

    BuiltBatch batch;
    FileStatus fileStatus = BuildUploadFile(files_, clock_.Now(), settings_.LocationCode, batch);
    if (!fileStatus.ok()) return fileStatus.description;
    builtName = batch.fileName;

    log += "\r\n";
    log += kLogSending;
    if (!abandoned_) view_.SetLogText(log);

    const FtpStatus sent = SendFile(ftp_, settings_, batch.fileName);
    if (!sent.ok()) return sent.description;

    log += "\r\n" + batch.fileName + kLogSentSuffix;
    if (!abandoned_) view_.SetLogText(log);

    // Only the records that went into the batch leave savedata.dat; scans
    // saved while the upload ran stay pending.
    std::string current;
    fileStatus = files_.ReadAll(kSaveDataFile, current);
    if (!fileStatus.ok()) return fileStatus.description;
    const auto rest = RecordsAddedSince(batch.sentRecords, current);
    if (!rest) {
        return std::string(kSaveDataFile) + " changed in an unexpected way during the upload, so the records "
               "sent in " + batch.fileName + " could not be told apart and were kept. They will be sent again "
               "with the next upload.";
    }
    fileStatus = rest->empty() ? files_.Remove(kSaveDataFile)
                               : files_.ReplaceAtomically(kSaveDataFile, *rest);
    if (!fileStatus.ok()) return fileStatus.description;
    return {};
}

void SendDataCommand::ShowFailure(const std::string& description) {
    if (!abandoned_) view_.ShowMessage(description);
}

void SendDataCommand::RemoveBatch(const std::string& fileName) {
    const FileStatus removed = files_.Remove(fileName);
    if (!removed.ok() && files_.Exists(fileName) && !abandoned_) {
        view_.ShowMessage("The batch file " + fileName + " of this failed upload could not be deleted: " +
                          removed.description);
    }
}

void SendDataCommand::Abandon() {
    if (!running_) return;
    abandoned_ = true;
    ftp_.Abort();
}

void SendDataCommand::OnUploadTabShown() {
    std::uint64_t size = 0;
    const FileStatus status = files_.Size(kSaveDataFile, size);
    view_.EnableSendData(status.ok() && size >= 1);
}

}  // namespace quendrel
