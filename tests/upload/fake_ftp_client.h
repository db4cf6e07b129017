#pragma once
// A scripted FTP client: records every call in order, answers as told, and
// can run a piece of the test while the upload waits (as window events would).
#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/ftp_client.h"

namespace quendrel::testing {

class FakeFtpClient final : public IFtpClient {
public:
    explicit FakeFtpClient(IFileSystem* files = nullptr) : files_(files) {}

    std::vector<std::string> calls;
    std::string host, user, password;
    std::string putLocal, putRemote, putContents;  // what Put was given, and the local file then
    FtpStatus connectResult, waitResult, putResult;
    int notConnectedReadings = 0;  // IsConnected answers false this many times first
    std::function<void()> duringWait;  // runs inside WaitForConnection
    std::function<void()> duringPut;   // runs inside Put, before it ends
    bool aborted = false;

    void SetHost(const std::string& h) override { calls.push_back("SetHost"); host = h; }
    void SetUser(const std::string& u) override { calls.push_back("SetUser"); user = u; }
    void SetPassword(const std::string& p) override { calls.push_back("SetPassword"); password = p; }
    FtpStatus Connect() override { calls.push_back("Connect"); return connectResult; }
    bool IsConnected() override {
        calls.push_back("IsConnected");
        if (notConnectedReadings > 0) { --notConnectedReadings; return false; }
        return true;
    }
    FtpStatus WaitForConnection() override {
        calls.push_back("WaitForConnection");
        if (duringWait) duringWait();
        if (aborted) return FtpStatus::Failed("The upload was stopped because the program is closing.");
        if (!waitResult.ok()) notConnectedReadings = 0;
        return waitResult;
    }
    FtpStatus Put(const std::string& local, const std::string& remote) override {
        calls.push_back("Put");
        putLocal = local;
        putRemote = remote;
        if (files_) static_cast<void>(files_->ReadAll(local, putContents));  // a missing file sends nothing
        if (duringPut) duringPut();
        if (aborted) return FtpStatus::Failed("The upload was stopped because the program is closing.");
        return putResult;
    }
    void Disconnect() override { calls.push_back("Disconnect"); }
    void Abort() override { calls.push_back("Abort"); aborted = true; }

private:
    IFileSystem* files_;
};

}  // namespace quendrel::testing
