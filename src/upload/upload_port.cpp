#include "upload/upload_port.h"

#include <utility>

namespace quendrel {

namespace {
// Progress is told a few times a second: enough for a bar, and the window's
// queue never fills with it.
constexpr std::chrono::milliseconds kProgressInterval{200};
}  // namespace

class FtpUploadPort::Reporter final : public IUploadProgress {
public:
    explicit Reporter(FtpUploadPort& port) : port_(port) {}
    void Sent(std::uint64_t bytes, std::uint64_t total) override {
        const auto now = std::chrono::steady_clock::now();
        if (bytes < total && now - last_ < kProgressInterval) return;
        if (bytes == lastBytes_) return;
        last_ = now;
        lastBytes_ = bytes;
        UploadEvent event;
        event.kind = UploadEvent::Kind::Progress;
        event.sent = bytes;
        event.total = total;
        port_.Post(std::move(event));
    }
    void Note(const std::string& line) override {
        UploadEvent event;
        event.kind = UploadEvent::Kind::Note;
        event.note = line;
        port_.Post(std::move(event));
    }
    void Finished(const Status& outcome, bool nameTaken) override {
        UploadEvent event;
        event.outcome = outcome;
        event.nameTaken = nameTaken;
        port_.Post(std::move(event));
    }

private:
    FtpUploadPort& port_;
    std::chrono::steady_clock::time_point last_{};
    std::uint64_t lastBytes_ = 0;
};

FtpUploadPort::FtpUploadPort(IFileSystem& files, const std::string& uploaderTag, UploadLimits limits)
    : files_(files), limits_(limits) {
    uploader_.tag = uploaderTag;
}

FtpUploadPort::~FtpUploadPort() {
    Cancel();
    if (worker_.joinable()) worker_.join();
}

void FtpUploadPort::Start(const LocationSettings& settings, const std::string& batchName, std::function<void()> wake) {
    // The previous upload has told its end already; its thread may still be
    // tidying the server, which can wait.
    if (worker_.joinable()) {
        cancel_ = true;
        worker_.join();
    }
    cancel_ = false;
    {
        std::lock_guard<std::mutex> hold(lock_);
        events_.clear();
    }
    wake_ = std::move(wake);
    worker_ = std::thread([this, settings, batchName] {
        Reporter reporter(*this);
        UploadBatch(settings, batchName, files_, cancel_, reporter, uploader_, limits_);
    });
}

std::vector<UploadEvent> FtpUploadPort::TakeEvents() {
    std::lock_guard<std::mutex> hold(lock_);
    return std::exchange(events_, {});
}

void FtpUploadPort::Cancel() { cancel_ = true; }

void FtpUploadPort::Post(UploadEvent event) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        events_.push_back(std::move(event));
    }
    if (wake_) wake_();
}

}  // namespace quendrel
