#pragma once
// The FTP client the upload drives: one connection per upload, the seven
// operations below used in order by SendFile. The Win32 implementation is in
// ftp_client_win.h; tests use a scripted fake.
#include <chrono>
#include <optional>
#include <string>

#include "platform/status.h"

namespace quendrel {

// How long a server may stay silent, while connecting or during a transfer,
// before the upload is given up. During a transfer, silence is time in which
// no byte was taken by the network and the server's copy did not grow.
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
    // ended. The application's events are handled meanwhile. Refuses, sending
    // nothing, when the server already holds a file of that name. Succeeds only
    // when the server has confirmed the whole file; after a failed transfer the
    // partial remote file is deleted where the server still answers.
    virtual FtpStatus Put(const std::string& localName, const std::string& remoteName) = 0;
    virtual void Disconnect() = 0;
    // Ends the running connection or transfer at once (for a window that is
    // closing); the operation waiting on it fails.
    virtual void Abort() = 0;
};

// What the server said about a store once its data connection had closed.
struct StoreEvidence {
    std::string finalReply;  // the last reply read; a 1xx one means none came
    std::optional<unsigned long long> remoteSize;  // from SIZE or a listing, when either told
    unsigned long long sent = 0;
};
// A 226 or 250 reply.
bool IsCompletionReply(const std::string& reply);
// A 4xx or 5xx reply.
bool IsRefusalReply(const std::string& reply);
// Succeeds when the evidence proves the whole file is on the server: a
// completion reply, or failing that the size the server holds, and never a
// refusal or a different size. Otherwise fails with what the operator is told.
FtpStatus ConfirmStore(const StoreEvidence& evidence, const std::string& remoteName);
// Size in a "213 <size>" reply to SIZE; empty for any other reply.
std::optional<unsigned long long> SizeFromReply(const std::string& reply);
// The refusal of a batch whose name the server already holds.
std::string NameTakenOnServerMessage(const std::string& fileName);
// The last part of a remote name ("/in/A.TXT" gives "A.TXT").
std::string RemoteLeafName(const std::string& remoteName);

}  // namespace quendrel
