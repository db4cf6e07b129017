#include "upload/upload_port.h"

#include <condition_variable>
#include <optional>
#include <utility>

namespace quendrel {

namespace {
// Progress is told a few times a second: enough for a bar, and the window's
// queue never fills with it.
constexpr std::chrono::milliseconds kProgressInterval{200};
}  // namespace

struct FtpUploadPort::Shared {
    Shared(IFileSystem& files, const std::string& tag, UploadLimits limits) : files(files), limits(limits) {
        uploader.tag = tag;
    }
    struct Job {
        LocationSettings settings;
        std::string batchName;
        std::uint64_t number = 0;
        std::shared_ptr<std::atomic<bool>> cancel;
    };

    IFileSystem& files;
    const UploadLimits limits;
    Uploader uploader;  // the worker's alone
    std::mutex lock;
    std::condition_variable changed;
    // Under `lock`:
    std::optional<Job> next;
    bool closing = false;
    bool busy = false;                            // the worker runs an upload, or its tidying
    std::uint64_t job = 0;                        // the upload whose events the window takes
    std::shared_ptr<std::atomic<bool>> cancel;    // the current upload's
    std::function<void()> wake;                   // the current upload's
    std::vector<UploadEvent> events;
};

class FtpUploadPort::Reporter final : public IUploadProgress {
public:
    Reporter(std::shared_ptr<Shared> shared, std::uint64_t job) : shared_(std::move(shared)), job_(job) {}
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
        Post(std::move(event));
    }
    void Note(const std::string& line) override {
        UploadEvent event;
        event.kind = UploadEvent::Kind::Note;
        event.note = line;
        Post(std::move(event));
    }
    void Finished(const Status& outcome, bool nameTaken) override {
        UploadEvent event;
        event.outcome = outcome;
        event.nameTaken = nameTaken;
        Post(std::move(event));
    }

private:
    // Only the window's current upload is told; one that Start replaced
    // tidies in silence.
    void Post(UploadEvent event) {
        std::function<void()> wake;
        {
            std::lock_guard<std::mutex> hold(shared_->lock);
            if (shared_->job != job_) return;
            shared_->events.push_back(std::move(event));
            wake = shared_->wake;
        }
        if (wake) wake();
    }

    std::shared_ptr<Shared> shared_;
    std::uint64_t job_;
    std::chrono::steady_clock::time_point last_{};
    std::uint64_t lastBytes_ = 0;
};

FtpUploadPort::FtpUploadPort(IFileSystem& files, const std::string& uploaderTag, UploadLimits limits)
    : shared_(std::make_shared<Shared>(files, uploaderTag, limits)), worker_(Work, shared_) {}

FtpUploadPort::~FtpUploadPort() {
    std::unique_lock<std::mutex> hold(shared_->lock);
    shared_->closing = true;
    shared_->next.reset();
    if (shared_->cancel) *shared_->cancel = true;
    shared_->changed.notify_all();
    const bool idle = shared_->changed.wait_for(hold, kExitGrace, [this] { return !shared_->busy; });
    hold.unlock();
    if (idle) {
        worker_.join();
    } else {
        worker_.detach();  // it holds what it uses; the process ends it
    }
}

void FtpUploadPort::Work(const std::shared_ptr<Shared>& shared) {
    for (;;) {
        Shared::Job job;
        {
            std::unique_lock<std::mutex> hold(shared->lock);
            shared->changed.wait(hold, [&shared] { return shared->closing || shared->next; });
            if (shared->closing) return;
            job = std::move(*shared->next);
            shared->next.reset();
            shared->busy = true;
        }
        Reporter reporter(shared, job.number);
        UploadBatch(job.settings, job.batchName, shared->files, *job.cancel, reporter, shared->uploader,
                    shared->limits);
        {
            std::lock_guard<std::mutex> hold(shared->lock);
            shared->busy = false;
        }
        shared->changed.notify_all();
    }
}

void FtpUploadPort::Start(const LocationSettings& settings, const std::string& batchName, std::function<void()> wake) {
    std::lock_guard<std::mutex> hold(shared_->lock);
    // The previous upload has told its end already; its tidying can wait.
    if (shared_->cancel) *shared_->cancel = true;
    shared_->cancel = std::make_shared<std::atomic<bool>>(false);
    shared_->events.clear();
    shared_->wake = std::move(wake);
    shared_->next = Shared::Job{settings, batchName, ++shared_->job, shared_->cancel};
    shared_->changed.notify_all();
}

std::vector<UploadEvent> FtpUploadPort::TakeEvents() {
    std::lock_guard<std::mutex> hold(shared_->lock);
    return std::exchange(shared_->events, {});
}

void FtpUploadPort::Cancel() {
    std::lock_guard<std::mutex> hold(shared_->lock);
    if (shared_->cancel) *shared_->cancel = true;
}

}  // namespace quendrel
