#pragma once
// One FTP session through libcurl: a server and account, and the few
// operations an upload needs, all on one control connection while the server
// keeps it open (libcurl connects and logs in again when it is gone). Paths
// reach the server exactly as given: no CWD, nothing added or removed.
//
// Every wait is bounded: connecting, each reply of the server, and during a
// store, time in which the network took no byte. The send buffer is kept
// small, so that what the network takes is what is on its way to the server.
// A cancel request ends the running operation within a second.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/status.h"

namespace quendrel {

// How long a server may stay silent before an upload is given up.
inline constexpr std::chrono::seconds kFtpSilenceBound{30};

struct FtpServer {
    std::string host;  // a name or an address; an IPv6 address without brackets
    std::uint16_t port = 21;
    std::string user;
    std::string password;
    // FTP over TLS (AUTH TLS, then the login and every data connection
    // protected), or nothing at all. The server's certificate is checked
    // against the system's trusted issuers and its name, unless its public
    // key is pinned ("sha256//" and base64, as libcurl takes it): then the
    // pin alone decides.
    bool tls = false;
    std::string pinnedKey{};
};

// Where an operation failed, so that the operator can be told which setting
// to look at.
enum class FtpFailure {
    None,
    Server,     // the server was not found, not reached, or stayed silent
    Login,      // the user and password were refused
    Tls,        // TLS was not offered, or the server's certificate or key not accepted
    Refused,    // the server refused the operation's own command
    NameTaken,  // the name is another's on the server
    Transfer,   // the connection was lost, or made no progress, during the operation
    Cancelled,  // the program is closing
    Local,      // this PC's side: a file that could not be read
};

// How an operation ended. A refusal is a 4xx or 5xx reply to the operation's
// own command, after which the session is still logged in; any other failure
// (no connection, refused login, silence, cancel) leaves `reply` at 0.
struct FtpOutcome {
    Status status;
    int reply = 0;
    FtpFailure failure = FtpFailure::None;
    bool Refused() const { return reply != 0; }
};

class FtpSession {
public:
    FtpSession(FtpServer server, std::chrono::seconds silenceBound, const std::atomic<bool>& cancel);
    ~FtpSession();
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    // SIZE of a file: `size` is empty where the server answers without one
    // (no SIZE command). A 550 reply is a refusal: no such file, or no right
    // to ask.
    FtpOutcome Size(const std::string& path, std::optional<std::uint64_t>& size);
    // The names (NLST) in a folder, without their folder part; "" is the
    // folder the login starts in, otherwise the folder ends in "/".
    FtpOutcome ListNames(const std::string& folder, std::vector<std::string>& names);
    // STOR of `size` bytes from `source`. Done only when the server has
    // confirmed the store with its final reply and took every byte.
    // `began` tells whether the server accepted the store, so that it may
    // hold part of the file. `sent` is called as the network takes bytes.
    FtpOutcome Store(const std::string& path, IFileReader& source, std::uint64_t size, bool& began,
                     const std::function<void(std::uint64_t sent)>& sent);
    // Commands sent as they are (RNFR and RNTO, DELE), in order; the first
    // refused one ends it.
    FtpOutcome Commands(const std::vector<std::string>& commands);

    // "host:port", as the operator knows the server.
    std::string ServerName() const;

    struct Transfer;  // what libcurl's callbacks see

private:
    FtpOutcome Perform(const std::string& path, bool storing);
    // Sets the transfer up for `path`; the outcome when no operation may start.
    std::optional<FtpOutcome> Prepare(const std::string& path);

    FtpServer server_;
    std::chrono::seconds silenceBound_;
    const std::atomic<bool>& cancel_;
    std::unique_ptr<Transfer> transfer_;
};

// "host:port" as the operator knows a server, an IPv6 address in brackets.
std::string ServerAddress(const std::string& host, std::uint16_t port);

// The URL libcurl is given for a path on the server: every byte but letters,
// digits and "-._~" percent-encoded, so that the path reaches the server
// unchanged.
std::string FtpUrl(const FtpServer& server, const std::string& path);

}  // namespace quendrel
