#pragma once
// IFtpClient over WinINet. The blocking WinINet calls run on a worker thread;
// the calling (user-interface) thread waits in a loop that keeps dispatching
// its window messages, so the window repaints and its clock keeps ticking.
//
// WinINet's own FTP time-out options are not honoured everywhere (Wine
// ignores them: a server that accepts and never answers holds InternetConnect
// for a minute), so the waiting thread enforces the bound itself: when the
// server has been silent for the bound, it closes the session handle, which
// makes the stuck call return at once.
#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/ftp_client.h"

namespace quendrel {

class WinInetFtpClient final : public IFtpClient {
public:
    explicit WinInetFtpClient(std::chrono::milliseconds responseBound = kFtpResponseBound);
    ~WinInetFtpClient() override;
    WinInetFtpClient(const WinInetFtpClient&) = delete;
    WinInetFtpClient& operator=(const WinInetFtpClient&) = delete;

    void SetHost(const std::string& host) override { host_ = host; }
    void SetUser(const std::string& user) override { user_ = user; }
    void SetPassword(const std::string& password) override { password_ = password; }
    FtpStatus Connect() override;
    bool IsConnected() override;
    FtpStatus WaitForConnection() override;
    FtpStatus Put(const std::string& localName, const std::string& remoteName) override;
    void Disconnect() override;
    void Abort() override;

    // Sees each message the wait takes from the queue before it is
    // dispatched; true keeps it from being dispatched (dialog keyboard
    // handling, as the program's own message loop does it).
    using MessageFilter = std::function<bool(MSG& msg)>;
    void SetMessageFilter(MessageFilter filter) { messageFilter_ = std::move(filter); }

    struct Session;  // shared with the worker thread

private:
    FtpStatus Finish(const char* silenceText, bool* silent);
    void RemoveStump(const std::string& remoteName);
    FtpStatus JobOutcome();
    void DropSession();

    std::chrono::milliseconds responseBound_;
    std::string host_, user_, password_;
    std::shared_ptr<Session> session_;
    bool abortRequested_ = false;
    MessageFilter messageFilter_;
};

// Text for a WinINet failure: the server's reply when it is a refusal
// ("530 Login incorrect."), otherwise the system's message for the error.
std::string DescribeWinInetError(unsigned long error, const std::string& serverReply);

}  // namespace quendrel
