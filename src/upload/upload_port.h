#pragma once
// The upload as the Send Data command sees it: started on a worker thread,
// it reports back through events that the window's own thread takes, so the
// window never waits for the network.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/location_settings.h"
#include "platform/files.h"
#include "platform/status.h"
#include "upload/ftp_upload.h"

namespace quendrel {

struct UploadEvent {
    enum class Kind { Progress, Note, Finished };
    Kind kind = Kind::Finished;
    std::uint64_t sent = 0;   // Progress: bytes the network has taken
    std::uint64_t total = 0;  // Progress: the batch file's size
    std::string note;         // Note: a line for the log
    Status outcome;           // Finished: sent, or why not
    bool nameTaken = false;   // Finished: refused for the batch's name, taken on the server
};

class IUploadPort {
public:
    virtual ~IUploadPort() = default;
    // Starts sending the batch and returns at once. `wake` is called, on any
    // thread, whenever events wait to be taken; the last event is Finished.
    virtual void Start(const LocationSettings& settings, const std::string& batchName, std::function<void()> wake) = 0;
    // The events since the last call, oldest first.
    virtual std::vector<UploadEvent> TakeEvents() = 0;
    // Asks the running upload to stop; its Finished event still comes.
    virtual void Cancel() = 0;
};

// Uploads by FTP (UploadBatch) on one worker thread that lives as long as
// the port, one upload at a time, as the uploader of the PC and working
// folder that `uploaderTag` stands for. The window's thread never waits for
// the network: Start hands the upload over, and an upload that is still
// tidying the server from the last one is told to stop.
class FtpUploadPort final : public IUploadPort {
public:
    FtpUploadPort(IFileSystem& files, const std::string& uploaderTag, UploadLimits limits = {});
    // Stops a running upload and gives it a moment (kExitGrace) to remove
    // what it made on the server, no more: the program ends within a second
    // of Exit. A worker still busy then is left to end with the process.
    ~FtpUploadPort() override;
    FtpUploadPort(const FtpUploadPort&) = delete;
    FtpUploadPort& operator=(const FtpUploadPort&) = delete;

    void Start(const LocationSettings& settings, const std::string& batchName, std::function<void()> wake) override;
    std::vector<UploadEvent> TakeEvents() override;
    void Cancel() override;

    static constexpr std::chrono::milliseconds kExitGrace{250};

private:
    struct Shared;  // what the port and its worker share; the worker may outlive the port
    class Reporter;
    static void Work(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_;
    std::thread worker_;
};

}  // namespace quendrel
