#pragma once
// An upload port the test drives: it records what was started and tells the
// command whatever the test says the upload did.
#include <string>
#include <vector>

#include "platform/files.h"
#include "upload/upload_port.h"

namespace quendrel::testing {

class FakeUploadPort final : public IUploadPort {
public:
    explicit FakeUploadPort(IFileSystem* files = nullptr) : files_(files) {}

    int starts = 0;
    bool cancelled = false;
    std::string batchName, remotePath;
    std::string batchContents;  // the local batch file when the upload started

    void Start(const LocationSettings& settings, const std::string& name, std::function<void()> wake) override {
        ++starts;
        cancelled = false;
        batchName = name;
        remotePath = settings.RemotePath;
        if (files_) static_cast<void>(files_->ReadAll(name, batchContents));
        wake_ = std::move(wake);
    }
    std::vector<UploadEvent> TakeEvents() override { return std::exchange(events_, {}); }
    void Cancel() override { cancelled = true; }

    // What the upload tells; the wake function runs as the worker would call it.
    void Tell(UploadEvent event) {
        events_.push_back(std::move(event));
        if (wake_) wake_();
    }
    void Finish(Status outcome) {
        UploadEvent event;
        event.outcome = std::move(outcome);
        Tell(std::move(event));
    }

private:
    IFileSystem* files_;
    std::vector<UploadEvent> events_;
    std::function<void()> wake_;
};

}  // namespace quendrel::testing
