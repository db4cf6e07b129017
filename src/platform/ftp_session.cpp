#include "platform/ftp_session.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <utility>

#include "platform/socket_buffer.h"
#include "platform/text.h"

namespace quendrel {

namespace {

// A store's send buffer starts small enough that, on a link of 2,000 bytes a
// second, what the network has taken reaches the server well inside the
// silence bound. Once the network has taken data for a moment, the buffer
// holds what the network takes in about two seconds; on a network fast enough
// to fill a buffer of kLargestSendBuffer so, the system sizes it again.
constexpr int kSendBufferBytes = 16 * 1024;
constexpr int kLargestSendBuffer = 256 * 1024;
constexpr std::chrono::milliseconds kPaceMeasured{250};
constexpr double kBufferedSeconds = 2.0;
constexpr std::uintptr_t kNoSocket = ~std::uintptr_t{0};
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

}  // namespace

struct FtpSession::Transfer {
    Transfer() : handle(curl_easy_init()) {}
    ~Transfer() {
        if (handle) curl_easy_cleanup(handle);
        if (commands) curl_slist_free_all(commands);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    CURL* handle;
    curl_slist* commands = nullptr;
    char error[CURL_ERROR_SIZE] = "";
    std::string lastReply;     // the server's last complete reply line
    bool began = false;        // a preliminary reply (150, 125) came
    IFileReader* source = nullptr;
    Status readFailure;
    std::string listing;
    const std::function<void(std::uint64_t)>* sent = nullptr;
    const std::atomic<bool>* cancel = nullptr;
    // The socket made last: during a store, the data connection's.
    std::uintptr_t newestSocket = kNoSocket;
    // The store's pace: since when the network takes data, how much it had
    // taken then, and the send buffer for it.
    std::chrono::steady_clock::time_point paceSince{};
    std::uint64_t paceBytes = 0;
    bool paceMeasured = false;
    int sendBuffer = kSendBufferBytes;

    static std::size_t OnReplyLine(char* data, std::size_t size, std::size_t count, void* self) {
        auto& transfer = *static_cast<Transfer*>(self);
        const std::string line = TrimmedEnd(std::string(data, size * count));
        if (IsReplyLine(line)) {
            transfer.lastReply = line;
            if (line[0] == '1') transfer.began = true;
        }
        return size * count;
    }
    static std::size_t OnListing(char* data, std::size_t size, std::size_t count, void* self) {
        static_cast<Transfer*>(self)->listing.append(data, size * count);
        return size * count;
    }
    static std::size_t OnRead(char* buffer, std::size_t size, std::size_t count, void* self) {
        auto& transfer = *static_cast<Transfer*>(self);
        std::size_t got = 0;
        Status read = transfer.source->Read(buffer, size * count, got);
        if (!read.ok()) {
            transfer.readFailure = std::move(read);
            return CURL_READFUNC_ABORT;
        }
        return got;
    }
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
        auto& transfer = *static_cast<Transfer*>(self);
        if (transfer.cancel->load()) return 1;
        if (transfer.sent && *transfer.sent && uploaded > 0) {
            transfer.KeepPace(static_cast<std::uint64_t>(uploaded));
            (*transfer.sent)(static_cast<std::uint64_t>(uploaded));
        }
        return 0;
    }
    void KeepPace(std::uint64_t uploaded) {
        const auto now = std::chrono::steady_clock::now();
        if (paceBytes == 0) {
            paceSince = now;
            paceBytes = uploaded;
        } else if (!paceMeasured && now - paceSince >= kPaceMeasured) {
            // What the first buffer held is no pace of the network's (the
            // system may have doubled it).
            const double drained = static_cast<double>(uploaded - paceBytes) - 2.0 * kSendBufferBytes;
            const double rate = drained / std::chrono::duration<double>(now - paceSince).count();
            sendBuffer = static_cast<int>(std::clamp(rate * kBufferedSeconds, double{kSendBufferBytes},
                                                     double{kLargestSendBuffer}));
            paceMeasured = true;
        }
        // On Windows libcurl sets the send buffer to the system's ideal
        // backlog after each write; it is set back before the next.
        if (newestSocket != kNoSocket && sendBuffer < kLargestSendBuffer) LimitSendBuffer(newestSocket, sendBuffer);
    }
    static int OnSocket(void* self, curl_socket_t socket, curlsocktype) {
        static_cast<Transfer*>(self)->newestSocket = static_cast<std::uintptr_t>(socket);
        LimitSendBuffer(static_cast<std::uintptr_t>(socket), kSendBufferBytes);  // a refusal costs only speed
        return CURL_SOCKOPT_OK;
    }
};

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
    if (LibcurlReady()) transfer_ = std::make_unique<Transfer>();
}

FtpSession::~FtpSession() = default;

std::string FtpSession::ServerName() const { return ServerAddress(server_.host, server_.port); }

std::optional<FtpOutcome> FtpSession::Prepare(const std::string& path) {
    if (!transfer_) return FtpOutcome{Status::Failed("The FTP library could not be started."), 0, FtpFailure::Local};
    if (cancel_) return FtpOutcome{Status::Failed(kCancelled), 0, FtpFailure::Cancelled};
    Transfer& t = *transfer_;
    // A reset keeps the open connection for the next operation.
    curl_easy_reset(t.handle);
    if (t.commands) {
        curl_slist_free_all(t.commands);
        t.commands = nullptr;
    }
    t.error[0] = '\0';
    t.lastReply.clear();
    t.began = false;
    t.listing.clear();
    t.readFailure = Status::Ok();
    t.source = nullptr;
    t.sent = nullptr;
    t.cancel = &cancel_;
    t.newestSocket = kNoSocket;
    t.paceBytes = 0;
    t.paceMeasured = false;
    t.sendBuffer = kSendBufferBytes;

    CURL* h = t.handle;
    const std::string url = FtpUrl(server_, path);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(h, CURLOPT_USERNAME, server_.user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, server_.password.c_str());
    // The path as it is: no CWD into its folders, no "." or ".." resolved.
    curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
    const long bound = static_cast<long>(silenceBound_.count());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, bound);
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, bound);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, bound);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_SOCKOPTFUNCTION, &Transfer::OnSocket);
    curl_easy_setopt(h, CURLOPT_SOCKOPTDATA, &t);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, t.error);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Transfer::OnReplyLine);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Transfer::OnListing);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
    if (server_.tls) {
        curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        curl_easy_setopt(h, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
        // A revocation list that cannot be reached does not stop an upload
        // (Windows' TLS); a revoked certificate does.
        curl_easy_setopt(h, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
        if (!server_.pinnedKey.empty()) {
            curl_easy_setopt(h, CURLOPT_PINNEDPUBLICKEY, server_.pinnedKey.c_str());
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
        }
    }
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);
    return std::nullopt;
}

FtpOutcome FtpSession::Perform(const std::string& path, bool storing) {
    Transfer& t = *transfer_;
    const CURLcode code = curl_easy_perform(t.handle);
    if (code == CURLE_OK) return {};
    const std::string server = ServerName();
    const std::string bound = std::to_string(silenceBound_.count()) + " seconds";
    const auto failed = [](FtpFailure failure, const std::string& text) {
        return FtpOutcome{Status::Failed(text), 0, failure};
    };
    if (code == CURLE_ABORTED_BY_CALLBACK) {
        if (!t.readFailure.ok()) return {t.readFailure, 0, FtpFailure::Local};
        return failed(FtpFailure::Cancelled, kCancelled);
    }
    if (IsRefusalCode(code) && IsReplyLine(t.lastReply) && (t.lastReply[0] == '4' || t.lastReply[0] == '5')) {
        return {Status::Failed(t.lastReply), std::stoi(t.lastReply.substr(0, 3)), FtpFailure::Refused};
    }
    switch (code) {
        case CURLE_LOGIN_DENIED:
            return failed(FtpFailure::Login, IsReplyLine(t.lastReply) ? t.lastReply : "The login was refused.");
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
        case CURLE_PEER_FAILED_VERIFICATION: return failed(FtpFailure::Tls, CertificateRefusal(server, t.error));
        case CURLE_SSL_CONNECT_ERROR:
            return failed(FtpFailure::Tls, "The TLS connection to the FTP server " + server + " failed (" +
                                               std::string(t.error[0] != '\0' ? t.error : "no reason given") +
                                               "). Nothing was sent.");
        case CURLE_OPERATION_TIMEDOUT:
            if (storing && t.began)
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
    const std::string detail = t.error[0] != '\0' ? t.error : curl_easy_strerror(code);
    return failed(FtpFailure::Transfer, "The FTP transfer failed: " + detail + ".");
}

FtpOutcome FtpSession::Size(const std::string& path, std::optional<std::uint64_t>& size) {
    size.reset();
    if (std::optional<FtpOutcome> refused = Prepare(path)) return *refused;
    curl_easy_setopt(transfer_->handle, CURLOPT_NOBODY, 1L);
    FtpOutcome outcome = Perform(path, false);
    curl_off_t length = -1;
    if (outcome.status.ok() && curl_easy_getinfo(transfer_->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        length >= 0) {
        size = static_cast<std::uint64_t>(length);
    }
    return outcome;
}

FtpOutcome FtpSession::ListNames(const std::string& folder, std::vector<std::string>& names) {
    names.clear();
    if (std::optional<FtpOutcome> refused = Prepare(folder)) return *refused;
    curl_easy_setopt(transfer_->handle, CURLOPT_DIRLISTONLY, 1L);
    FtpOutcome outcome = Perform(folder, false);
    if (!outcome.status.ok()) return outcome;
    std::size_t start = 0;
    const std::string& listing = transfer_->listing;
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
    began = false;
    if (std::optional<FtpOutcome> refused = Prepare(path)) return *refused;
    Transfer& t = *transfer_;
    t.source = &source;
    t.sent = &sent;
    curl_easy_setopt(t.handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(t.handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
    curl_easy_setopt(t.handle, CURLOPT_READFUNCTION, &Transfer::OnRead);
    curl_easy_setopt(t.handle, CURLOPT_READDATA, &t);
    FtpOutcome outcome = Perform(path, true);
    began = t.began;
    return outcome;
}

FtpOutcome FtpSession::Commands(const std::vector<std::string>& commands) {
    if (std::optional<FtpOutcome> refused = Prepare("")) return *refused;
    Transfer& t = *transfer_;
    for (const std::string& command : commands) t.commands = curl_slist_append(t.commands, command.c_str());
    curl_easy_setopt(t.handle, CURLOPT_QUOTE, t.commands);
    curl_easy_setopt(t.handle, CURLOPT_NOBODY, 1L);
    return Perform("", false);
}

}  // namespace quendrel
