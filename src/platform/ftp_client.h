#pragma once
// The FTP client the upload drives: one connection per upload, the seven
// operations below used in order by SendFile. The Win32 implementation is in
// ftp_client_win.h; tests use a scripted fake.
#include <chrono>
#include <string>

#include "config/settings_rules.h"
#include "platform/status.h"

namespace quendrel {

// How long a server may stay silent, while connecting or during a transfer,
// before the upload is given up.
inline constexpr std::chrono::milliseconds kFtpResponseBound{30000};

class IFtpClient {
public:
    virtual ~IFtpClient() = default;

    virtual void SetHost(const std::string& host) = 0;
    virtual void SetUser(const std::string& user) = 0;
    virtual void SetPassword(const std::string& password) = 0;
    // Starts connecting and logging in; may return before the connection is up.
    virtual FtpStatus Connect() = 0;
    // True once the connection is up and ready for a transfer.
    virtual bool IsConnected() = 0;
    // Lets the application handle its pending events until the connection
    // attempt has moved on. Fails with the attempt's description when it
    // failed, when the server stayed silent too long, or after Abort().
    virtual FtpStatus WaitForConnection() = 0;
    // Sends the local file under the remote name; returns when the transfer has
    // ended. The application's events are handled meanwhile.
    virtual FtpStatus Put(const std::string& localName, const std::string& remoteName) = 0;
    virtual void Disconnect() = 0;
    // Ends the running connection or transfer at once (for a window that is
    // closing); the operation waiting on it fails.
    virtual void Abort() = 0;
};

}  // namespace quendrel
