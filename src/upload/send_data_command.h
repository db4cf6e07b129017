#pragma once
// The Send Data command of the "Upload" tab and the enabling of its button.
#include <cstdint>
#include <functional>
#include <string>

#include "config/location_settings.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "upload/upload_batch.h"
#include "upload/upload_port.h"

namespace quendrel {

// What the command needs from the window.
class ISendDataView {
public:
    virtual ~ISendDataView() = default;
    virtual void SetLogText(const std::string& text) = 0;
    virtual void SetBusyPointer(bool busy) = 0;
    // Modal, OK button only, the application's title; returns when closed.
    virtual void ShowMessage(const std::string& text) = 0;
    virtual void EnableSendData(bool enabled) = 0;
    // How much of the batch has gone, shown only while an upload runs.
    virtual void ShowProgress(std::uint64_t sent, std::uint64_t total) = 0;
    virtual void HideProgress() = 0;
    // A function, safe to call on any thread, after which the window's own
    // thread soon calls SendDataCommand::OnUploadEvents.
    virtual std::function<void()> UploadWake() = 0;
};

inline constexpr const char* kLogProcessing = "Processing File ...";
inline constexpr const char* kLogSending = "Sending File ...";
inline constexpr const char* kLogSentSuffix = " File Sent.";
inline constexpr const char* kLogNotSentPrefix = "Not sent: ";

class SendDataCommand {
public:
    SendDataCommand(IFileSystem& files, IClock& clock, IUploadPort& upload, ISendDataView& view,
                    const LocationSettings& settings);
    // A running upload is told to stop.
    ~SendDataCommand();
    SendDataCommand(const SendDataCommand&) = delete;
    SendDataCommand& operator=(const SendDataCommand&) = delete;

    // Click on the Send Data button: builds the batch and starts its upload.
    // Does nothing while a run of this command is under way. Where the
    // batch's name is taken (a batch of this minute is on the server, or
    // another PC of the location is sending one), the run waits for the next
    // minute and sends under its name, once.
    void Run();
    bool Running() const { return running_; }
    // The upload has news: progress, a log line, or its end, which finishes
    // the run.
    void OnUploadEvents();
    // The window's clock ticked: a run that waits for the next minute goes on
    // once it has come.
    void OnClockTick();

    // The window is closing: the running upload is stopped, nothing more is
    // shown, and savedata.dat keeps every record not confirmed uploaded.
    void Abandon();

    // The "Upload" tab became the current one.
    void OnUploadTabShown();

private:
    void SendBatch();
    Status BuildBatch();
    // Leaves the run waiting for the minute after `minute`; false when it has
    // waited once already.
    bool WaitForNextMinute(const std::string& minute);
    void Finish(const Status& sent, bool nameTaken);
    Status ClearSentRecords();
    void AppendLog(const std::string& line);
    void Fail(const std::string& description);
    void End();
    void RemoveBatch(const std::string& fileName);

    IFileSystem& files_;
    IClock& clock_;
    IUploadPort& upload_;
    ISendDataView& view_;
    const LocationSettings& settings_;
    bool running_ = false;    // from the click until the run has ended
    bool uploading_ = false;  // the upload has been started and has not finished
    bool abandoned_ = false;
    bool waited_ = false;          // this run has waited for a minute of its own
    std::string waitingMinute_;    // YYMMDDhhmm whose end the run waits for
    bool sendingLogged_ = false;
    std::string log_;
    BuiltBatch batch_;
};

}  // namespace quendrel
