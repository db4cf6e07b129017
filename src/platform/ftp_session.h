#pragma once
// One FTP session through libcurl: a server and account, and the few
// operations an upload needs, all on one control connection while the server
// keeps it open (libcurl connects and logs in again when it is gone). Paths
// reach the server exactly as given: no CWD, nothing added or removed.
//
// Every wait is bounded: connecting, each reply of the server, and during a
// store, time in which the network took no byte; the server's confirmation
// of a store may take longer, for what the network still held. A cancel
// request ends a wait within a second. Every libcurl setting is checked:
// one that libcurl refuses ends the operation before it connects.
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
#include "platform/unique_handle.h"

namespace quendrel {

// How long a server may stay silent before an upload is given up.
inline constexpr std::chrono::seconds kFtpSilenceBound{30};
// How long the server's confirmation of a store may take at least, once the
// last byte is handed to the network: what the network still holds goes
// first. libcurl's own wait for it.
inline constexpr std::chrono::seconds kFtpStoreConfirmationBound{60};

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

// How an operation ended. A refusal (FtpFailure::Refused) is a 4xx or 5xx
// reply to the operation's own command, whose code `reply` holds, after
// which the session is still logged in; any other failure (no connection,
// refused login, silence, cancel) leaves `reply` at 0.
struct FtpOutcome {
    Status status;
    int reply = 0;
    FtpFailure failure = FtpFailure::None;
    bool Refused() const { return failure == FtpFailure::Refused; }
};

class FtpSession {
public:
    FtpSession(FtpServer server, std::chrono::seconds silenceBound, const std::atomic<bool>& cancel);
    // Closes the connection as Close does.
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
    // Commands sent as they are (MKD, RNFR and RNTO, DELE), in order; the
    // first refused one ends it.
    FtpOutcome Commands(const std::vector<std::string>& commands);
    // Ends the connection with QUIT on this session's own handle, under its
    // bounds and its cancel request; after a cancel, without QUIT.
    void Close();

    // "host:port", as the operator knows the server.
    std::string ServerName() const;

    struct Operation;  // one operation's state, which libcurl's callbacks see
    class Options;     // libcurl's settings for one operation, each checked

private:
    // libcurl's easy handle (a CURL*), closed with curl_easy_cleanup.
    struct EasyTraits : NullIsInvalid<void*> {
        static void Close(void* handle);
    };

    // The settings every operation of the session has, the same each time so
    // that libcurl keeps using one connection.
    void Configure(Options& options, Operation& operation, const std::string& url, bool storing);
    // Runs one operation that `configure` has set up on top of the
    // session's own settings.
    FtpOutcome Perform(Operation& operation, const std::string& path, bool storing,
                       const std::function<void(Options&)>& configure);
    FtpOutcome Outcome(int code, const Operation& operation, const std::string& path, bool storing) const;
    // One command; `reply` gets the server's reply line.
    FtpOutcome Command(const std::string& command, std::string& reply);
    // How long a reply may take during a store, its confirmation among them.
    std::chrono::seconds StoreReplyBound() const;

    FtpServer server_;
    std::chrono::seconds silenceBound_;
    const std::atomic<bool>& cancel_;
    UniqueHandle<void*, EasyTraits> handle_;
    bool connected_ = false;  // libcurl may hold a connection for the next operation
};

// "host:port" as the operator knows a server, an IPv6 address in brackets.
std::string ServerAddress(const std::string& host, std::uint16_t port);

// The URL libcurl is given for a path on the server: every byte but letters,
// digits and "-._~" percent-encoded, so that the path reaches the server
// unchanged.
std::string FtpUrl(const FtpServer& server, const std::string& path);

}  // namespace quendrel
