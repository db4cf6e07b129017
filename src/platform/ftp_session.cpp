#include "platform/ftp_session.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <utility>

#include "platform/text.h"

namespace quendrel {

namespace {

// What libcurl hands the network in one write. Windows takes a whole write
// while the socket is under its quota, so on a link of 2,000 bytes a second
// the next one goes some 16 s later: well within the silence bound, which a
// write of libcurl's usual 64 KB would not be. Smaller writes cost more
// under Wine than they gain.
constexpr long kUploadBufferBytes = 32 * 1024;
// Keepalive probes on a connection that idles (the control connection
// during a store), so that a router that drops silent connections keeps it.
constexpr long kKeepAliveSeconds = 60;
// After a cancel nobody waits for a long-running operation.
constexpr const char* kCancelled = "The upload was stopped because the program is closing.";

bool LibcurlReady() {
    // Once per process, before any session: libcurl's global set-up is not
    // safe to run on two threads at once.
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

bool IsReplyLine(const std::string& line) {
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    return line.size() >= 4 && std::all_of(line.begin(), line.begin() + 3, digit) && line[3] == ' ';
}

bool IsUnreserved(unsigned char c) { return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~'; }

// The codes after which libcurl keeps the control connection: the server
// refused the operation's own command.
bool IsRefusalCode(CURLcode code) {
    switch (code) {
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_FTP_COULDNT_RETR_FILE:
        case CURLE_QUOTE_ERROR:
        case CURLE_REMOTE_ACCESS_DENIED:
        case CURLE_UPLOAD_FAILED:
        case CURLE_REMOTE_DISK_FULL:
        case CURLE_PARTIAL_FILE:
            return true;
        default:
            return false;
    }
}

bool Mentions(const std::string& text, const std::string& word) { return Lowered(text).find(word) != std::string::npos; }

// The server's certificate was not accepted: expired, or not from an issuer
// this PC trusts, or made for another name.
std::string CertificateRefusal(const std::string& server, const std::string& detail) {
    if (Mentions(detail, "expired")) {
        return "The certificate of the FTP server " + server + " has expired. Nothing was sent. The server needs a "
               "new certificate.";
    }
    return "The certificate of the FTP server " + server + " could not be verified (" + detail + "): it is "
           "self-signed or from an issuer this PC does not trust, or made for another name than the server's. "
           "Nothing was sent. Give the server a certificate from a trusted issuer for its name, or pin the "
           "server's key in the location's settings.";
}

// libcurl's list of commands, freed with curl_slist_free_all.
struct SlistTraits : NullIsInvalid<curl_slist*> {
    static void Close(curl_slist* list) { curl_slist_free_all(list); }
};
using unique_curl_slist = UniqueHandle<curl_slist*, SlistTraits>;

}  // namespace

void FtpSession::EasyTraits::Close(void* handle) { curl_easy_cleanup(static_cast<CURL*>(handle)); }

// libcurl calls the functions below from its C frames, which on i686 carry
// no unwind tables: nothing may be thrown out of them.
struct FtpSession::Operation {
    char error[CURL_ERROR_SIZE] = "";
    std::string lastReply;  // the server's last complete reply line
    bool began = false;     // a preliminary reply (150, 125) came
    IFileReader* source = nullptr;
    Status readFailure;
    std::string listing;
    const std::function<void(std::uint64_t)>* sent = nullptr;
    std::uint64_t size = 0;     // a store's
    bool handedOver = false;    // the network has taken a store's last byte
    const std::atomic<bool>* cancel = nullptr;
    unique_curl_slist commands;

    static std::size_t OnReplyLine(char* data, std::size_t size, std::size_t count, void* self) noexcept {
        auto& operation = *static_cast<Operation*>(self);
        const std::string line = TrimmedEnd(std::string(data, size * count));
        if (IsReplyLine(line)) {
            operation.lastReply = line;
            if (line[0] == '1') operation.began = true;
        }
        return size * count;
    }
    static std::size_t OnListing(char* data, std::size_t size, std::size_t count, void* self) noexcept {
        static_cast<Operation*>(self)->listing.append(data, size * count);
        return size * count;
    }
    static std::size_t OnRead(char* buffer, std::size_t size, std::size_t count, void* self) noexcept {
        auto& operation = *static_cast<Operation*>(self);
        std::size_t got = 0;
        Status read = operation.source->Read(buffer, size * count, got);
        if (!read.ok()) {
            operation.readFailure = std::move(read);
            return CURL_READFUNC_ABORT;
        }
        return got;
    }
    // libcurl calls it at least once a second, also while it waits for a reply.
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) noexcept {
        auto& operation = *static_cast<Operation*>(self);
        if (operation.cancel->load()) return 1;
        if (operation.sent && *operation.sent && uploaded > 0) {
            (*operation.sent)(static_cast<std::uint64_t>(uploaded));
            operation.handedOver = static_cast<std::uint64_t>(uploaded) >= operation.size;
        }
        return 0;
    }
};

// One operation's settings, each checked: after the first that libcurl
// refuses, none is tried, and the operation does not start.
class FtpSession::Options {
public:
    explicit Options(CURL* handle) : handle_(handle) {}

    template <typename Value>
    void Set(CURLoption option, Value value, const char* name) {
        if (refused_ != CURLE_OK) return;
        const CURLcode code = curl_easy_setopt(handle_, option, value);
        if (code == CURLE_OK) return;
        refused_ = code;
        name_ = name;
    }
    // A command sent as it is, after the login.
    void Quote(const std::string& command, unique_curl_slist& list) {
        list.reset(curl_slist_append(nullptr, command.c_str()));
        if (!list) {
            refused_ = CURLE_OUT_OF_MEMORY;
            name_ = "CURLOPT_QUOTE";
            return;
        }
        Set(CURLOPT_QUOTE, list.get(), "CURLOPT_QUOTE");
    }
    std::optional<FtpOutcome> Refusal() const {
        if (refused_ == CURLE_OK) return std::nullopt;
        return FtpOutcome{Status::Failed("The FTP library refused the setting " + name_ + " (" +
                                         curl_easy_strerror(refused_) + "), so nothing was sent to the server."),
                          0, FtpFailure::Local};
    }

private:
    CURL* handle_;
    CURLcode refused_ = CURLE_OK;
    std::string name_;
};

// Names each setting after its option in a refusal.
#define QUENDREL_SET(options, option, value) (options).Set(option, value, #option)

std::string ServerAddress(const std::string& host, std::uint16_t port) {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string FtpUrl(const FtpServer& server, const std::string& path) {
    std::string url = "ftp://" + ServerAddress(server.host, server.port) + "/";
    for (const char& ch : path)
        url += IsUnreserved(static_cast<unsigned char>(ch)) ? std::string(1, ch) : "%" + HexDigits({&ch, 1});
    return url;
}

FtpSession::FtpSession(FtpServer server, std::chrono::seconds silenceBound, const std::atomic<bool>& cancel)
    : server_(std::move(server)), silenceBound_(silenceBound), cancel_(cancel) {
    if (LibcurlReady()) handle_.reset(curl_easy_init());
}

FtpSession::~FtpSession() { Close(); }

std::chrono::seconds FtpSession::StoreReplyBound() const { return std::max(silenceBound_, kFtpStoreConfirmationBound); }

std::string FtpSession::ServerName() const { return ServerAddress(server_.host, server_.port); }

void FtpSession::Configure(Options& options, Operation& operation, const std::string& url, bool storing) {
    operation.cancel = &cancel_;
    QUENDREL_SET(options, CURLOPT_URL, url.c_str());
    QUENDREL_SET(options, CURLOPT_PROTOCOLS_STR, "ftp");
    QUENDREL_SET(options, CURLOPT_USERNAME, server_.user.c_str());
    QUENDREL_SET(options, CURLOPT_PASSWORD, server_.password.c_str());
    // The path as it is: no CWD into its folders, no "." or ".." resolved.
    QUENDREL_SET(options, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    QUENDREL_SET(options, CURLOPT_PATH_AS_IS, 1L);
    const long bound = static_cast<long>(silenceBound_.count());
    const long replyBound = storing ? static_cast<long>(StoreReplyBound().count()) : bound;
    QUENDREL_SET(options, CURLOPT_CONNECTTIMEOUT, bound);
    QUENDREL_SET(options, CURLOPT_SERVER_RESPONSE_TIMEOUT, replyBound);
    QUENDREL_SET(options, CURLOPT_LOW_SPEED_LIMIT, 1L);
    QUENDREL_SET(options, CURLOPT_LOW_SPEED_TIME, bound);
    QUENDREL_SET(options, CURLOPT_NOSIGNAL, 1L);
    // A host lookup that hangs is not waited for once the program closes.
    QUENDREL_SET(options, CURLOPT_QUICK_EXIT, 1L);
    QUENDREL_SET(options, CURLOPT_TCP_KEEPALIVE, 1L);
    QUENDREL_SET(options, CURLOPT_TCP_KEEPIDLE, kKeepAliveSeconds);
    QUENDREL_SET(options, CURLOPT_TCP_KEEPINTVL, kKeepAliveSeconds);
    QUENDREL_SET(options, CURLOPT_ERRORBUFFER, operation.error);
    QUENDREL_SET(options, CURLOPT_HEADERFUNCTION, &Operation::OnReplyLine);
    QUENDREL_SET(options, CURLOPT_HEADERDATA, &operation);
    QUENDREL_SET(options, CURLOPT_WRITEFUNCTION, &Operation::OnListing);
    QUENDREL_SET(options, CURLOPT_WRITEDATA, &operation);
    QUENDREL_SET(options, CURLOPT_NOPROGRESS, 0L);
    QUENDREL_SET(options, CURLOPT_XFERINFOFUNCTION, &Operation::OnProgress);
    QUENDREL_SET(options, CURLOPT_XFERINFODATA, &operation);
    if (!server_.tls) return;
    QUENDREL_SET(options, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    QUENDREL_SET(options, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
    // TLS 1.2 only: libcurl 7.88 knows of lost FTPS uploads under TLS 1.3.
    QUENDREL_SET(options, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2 | CURL_SSLVERSION_MAX_TLSv1_2));
    // A revocation list that cannot be reached does not stop an upload
    // (Windows' TLS); a revoked certificate does.
    QUENDREL_SET(options, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
    if (server_.pinnedKey.empty()) return;
    // The pin first: where it cannot be set, the server is never trusted without it.
    QUENDREL_SET(options, CURLOPT_PINNEDPUBLICKEY, server_.pinnedKey.c_str());
    QUENDREL_SET(options, CURLOPT_SSL_VERIFYPEER, 0L);
    QUENDREL_SET(options, CURLOPT_SSL_VERIFYHOST, 0L);
}

FtpOutcome FtpSession::Perform(Operation& operation, const std::string& path, bool storing,
                               const std::function<void(Options&)>& configure) {
    if (!handle_) return FtpOutcome{Status::Failed("The FTP library could not be started."), 0, FtpFailure::Local};
    if (cancel_) return FtpOutcome{Status::Failed(kCancelled), 0, FtpFailure::Cancelled};
    CURL* const h = handle_.get();
    // A reset keeps the open connection for the next operation.
    curl_easy_reset(h);
    Options options(h);
    const std::string url = FtpUrl(server_, path);
    Configure(options, operation, url, storing);
    configure(options);
    if (std::optional<FtpOutcome> refused = options.Refusal()) return *refused;
    const CURLcode code = curl_easy_perform(h);
    const bool refusal = IsRefusalCode(code) && IsReplyLine(operation.lastReply) &&
                         (operation.lastReply[0] == '4' || operation.lastReply[0] == '5');
    connected_ = code == CURLE_OK || refusal;
    return Outcome(code, operation, path, storing);
}

FtpOutcome FtpSession::Outcome(int result, const Operation& operation, const std::string& path, bool storing) const {
    const auto code = static_cast<CURLcode>(result);
    if (code == CURLE_OK) return {};
    const std::string server = ServerName();
    const std::string bound = std::to_string(silenceBound_.count()) + " seconds";
    const std::string& reply = operation.lastReply;
    const std::string detail = operation.error[0] != '\0' ? operation.error : curl_easy_strerror(code);
    const auto failed = [](FtpFailure failure, const std::string& text) {
        return FtpOutcome{Status::Failed(text), 0, failure};
    };
    if (code == CURLE_ABORTED_BY_CALLBACK) {
        if (!operation.readFailure.ok()) return {operation.readFailure, 0, FtpFailure::Local};
        return failed(FtpFailure::Cancelled, kCancelled);
    }
    if (IsRefusalCode(code) && IsReplyLine(reply) && (reply[0] == '4' || reply[0] == '5')) {
        return {Status::Failed(reply), std::stoi(reply.substr(0, 3)), FtpFailure::Refused};
    }
    switch (code) {
        case CURLE_LOGIN_DENIED:
            return failed(FtpFailure::Login, IsReplyLine(reply) ? reply : "The login was refused.");
        case CURLE_COULDNT_RESOLVE_HOST: return failed(FtpFailure::Server, "The server name could not be resolved.");
        case CURLE_COULDNT_CONNECT: return failed(FtpFailure::Server, "The attempt to connect to the server failed.");
        case CURLE_USE_SSL_FAILED:
            return failed(FtpFailure::Tls, "The FTP server " + server + " does not offer FTP over TLS, which this "
                                           "location's settings require. Nothing was sent, the password neither.");
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
            return failed(FtpFailure::Tls,
                          "The FTP server " + server + " showed another public key than the one pinned in this "
                          "location's settings: it is not the server they were made for, or its certificate was "
                          "replaced. Nothing was sent. If the certificate was replaced on purpose, make a new "
                          "location.reg with the new key's pin.");
        case CURLE_PEER_FAILED_VERIFICATION: return failed(FtpFailure::Tls, CertificateRefusal(server, detail));
        case CURLE_SSL_CONNECT_ERROR:
            // Windows' TLS reports a refused certificate here, in its own words.
            if (Mentions(detail, "cert") || Mentions(detail, "trust"))
                return failed(FtpFailure::Tls, CertificateRefusal(server, detail));
            return failed(FtpFailure::Tls, "The TLS connection to the FTP server " + server + " failed (" + detail +
                                               "). Nothing was sent.");
        case CURLE_OPERATION_TIMEDOUT:
            if (storing && operation.handedOver)
                return failed(FtpFailure::Transfer, "The FTP server " + server + " did not confirm the store of " +
                                                        path + " within " + std::to_string(StoreReplyBound().count()) +
                                                        " seconds of its last byte.");
            if (storing && operation.began)
                return failed(FtpFailure::Transfer,
                              "The transfer to the FTP server " + server + " made no progress for " + bound + ".");
            return failed(FtpFailure::Server, "The FTP server " + server + " did not answer within " + bound + ".");
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
            return failed(FtpFailure::Transfer, "The connection to the FTP server " + server + " was lost" +
                                                    (storing ? " while " + path + " was sent." : "."));
        default: break;
    }
    return failed(FtpFailure::Transfer, "The FTP transfer failed: " + detail + " (libcurl error " +
                                            std::to_string(static_cast<int>(code)) + ").");
}

FtpOutcome FtpSession::Size(const std::string& path, std::optional<std::uint64_t>& size) {
    size.reset();
    Operation operation;
    FtpOutcome outcome = Perform(operation, path, false, [](Options& options) {
        QUENDREL_SET(options, CURLOPT_NOBODY, 1L);
    });
    curl_off_t length = -1;
    if (outcome.status.ok() && curl_easy_getinfo(handle_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        length >= 0) {
        size = static_cast<std::uint64_t>(length);
    }
    return outcome;
}

FtpOutcome FtpSession::ListNames(const std::string& folder, std::vector<std::string>& names) {
    names.clear();
    Operation operation;
    FtpOutcome outcome = Perform(operation, folder, false, [](Options& options) {
        QUENDREL_SET(options, CURLOPT_DIRLISTONLY, 1L);
    });
    if (!outcome.status.ok()) return outcome;
    std::size_t start = 0;
    const std::string& listing = operation.listing;
    while (start < listing.size()) {
        std::size_t end = listing.find('\n', start);
        if (end == std::string::npos) end = listing.size();
        std::string name = listing.substr(start, end - start);
        if (!name.empty() && name.back() == '\r') name.pop_back();
        // Some servers give each name with the folder it was listed in.
        const auto slash = name.find_last_of('/');
        if (slash != std::string::npos) name.erase(0, slash + 1);
        if (!name.empty()) names.push_back(std::move(name));
        start = end + 1;
    }
    return outcome;
}

FtpOutcome FtpSession::Store(const std::string& path, IFileReader& source, std::uint64_t size, bool& began,
                             const std::function<void(std::uint64_t)>& sent) {
    Operation operation;
    operation.source = &source;
    operation.sent = &sent;
    operation.size = size;
    FtpOutcome outcome = Perform(operation, path, true, [&operation, size](Options& options) {
        QUENDREL_SET(options, CURLOPT_UPLOAD, 1L);
        QUENDREL_SET(options, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
        QUENDREL_SET(options, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBufferBytes);
        QUENDREL_SET(options, CURLOPT_READFUNCTION, &Operation::OnRead);
        QUENDREL_SET(options, CURLOPT_READDATA, &operation);
    });
    began = operation.began;
    return outcome;
}

FtpOutcome FtpSession::Command(const std::string& command, std::string& reply) {
    Operation operation;
    // "*": libcurl goes on after a refusal, which this session reads from
    // the reply, and keeps the connection (it closes it after a refused
    // command of its own).
    FtpOutcome outcome = Perform(operation, "", false, [&operation, &command](Options& options) {
        options.Quote("*" + command, operation.commands);
        QUENDREL_SET(options, CURLOPT_NOBODY, 1L);
    });
    reply = operation.lastReply;
    if (outcome.status.ok() && (!IsReplyLine(reply) || reply[0] == '4' || reply[0] == '5')) {
        if (!IsReplyLine(reply)) return {Status::Failed("The FTP server gave no reply to " + command + "."), 0, FtpFailure::Transfer};
        return {Status::Failed(reply), std::stoi(reply.substr(0, 3)), FtpFailure::Refused};
    }
    return outcome;
}

FtpOutcome FtpSession::Commands(const std::vector<std::string>& commands) {
    FtpOutcome outcome;
    std::string reply;
    for (const std::string& command : commands) {
        outcome = Command(command, reply);
        if (!outcome.status.ok()) break;
    }
    return outcome;
}

void FtpSession::Close() {
    if (!handle_ || !connected_) return;
    connected_ = false;
    CURL* const h = handle_.get();
    curl_easy_reset(h);
    // An operation that sends nothing on the open connection, which libcurl
    // then closes with QUIT on this handle: bounded as the others, and given
    // up within a second once the program closes.
    Operation operation;
    Options options(h);
    const std::string url = FtpUrl(server_, "");
    Configure(options, operation, url, false);
    QUENDREL_SET(options, CURLOPT_NOBODY, 1L);
    QUENDREL_SET(options, CURLOPT_FORBID_REUSE, 1L);
    if (!options.Refusal()) static_cast<void>(curl_easy_perform(h));
}

}  // namespace quendrel
