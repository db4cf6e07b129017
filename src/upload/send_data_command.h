#pragma once
// The Send Data command of the "Upload" tab and the enabling of its button.
#include <string>

#include "config/location_settings.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/ftp_client.h"

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
};

inline constexpr const char* kLogProcessing = "Processing File ...";
inline constexpr const char* kLogSending = "Sending File ...";
inline constexpr const char* kLogSentSuffix = " File Sent.";

class SendDataCommand {
public:
    SendDataCommand(IFileSystem& files, IClock& clock, IFtpClient& ftp, ISendDataView& view,
                    const LocationSettings& settings);

    // Click on the Send Data button. Does nothing while an upload of this
    // command is already running (the click came in through its wait).
    void Run();
    bool Running() const { return running_; }

    // The window is closing: the running upload is stopped, nothing more is
    // shown, and savedata.dat keeps every record not confirmed uploaded.
    void Abandon();

    // The "Upload" tab became the current one.
    void OnUploadTabShown();

private:
    Status RunSteps(std::string& log, std::string& builtName);
    void ShowFailure(const std::string& description);
    void RemoveBatch(const std::string& fileName);

    IFileSystem& files_;
    IClock& clock_;
    IFtpClient& ftp_;
    ISendDataView& view_;
    const LocationSettings& settings_;
    bool running_ = false;
    bool abandoned_ = false;
};

}  // namespace quendrel
