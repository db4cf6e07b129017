#include "platform/ftp_client_win.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <optional>
#include <functional>
#include <thread>
#include <utility>

#include "config/settings_rules.h"
#include "platform/system_error_win.h"
#include "platform/unique_handle_win.h"

namespace quendrel {

struct WinInetFtpClient::Session {
    // After a cancel the connection went with the session handle, and its
    // value may name a newer handle by now: it is never closed again.
    ~Session() { if (cancelled) connection.release(); }

    unique_hinternet internet;    // closed only by the waiting thread
    unique_hinternet connection;  // set by the connect job; read once that job has ended
    unique_handle jobDone{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::thread worker;
    bool jobRunning = false;  // waiting thread only
    // Bumped by the worker at every step and every write, and by the arrival
    // watch whenever the server's copy grows; the waiting thread calls the
    // server silent when it stops moving.
    std::atomic<unsigned long long> activity{0};
    // Set before the waiting thread closes the handles under a stuck job: the
    // job then leaves every handle alone.
    std::atomic<bool> cancelled{false};
    // True from the store command until the partial remote file, if any, has
    // been dealt with: a transfer given up meanwhile leaves one to delete.
    std::atomic<bool> storeUnsettled{false};
    // True from the store command until its final reply has been read.
    std::atomic<bool> storeInFlight{false};
    // Outcome of the last job; written by the worker before it signals jobDone.
    FtpStatus outcome = FtpStatus::Ok();
    // The account, for the second connection that watches a slow store arrive.
    FtpEndpoint endpoint;
    std::string user, password;
};

namespace {

// Small writes: on a link of 1,000 bytes a second with the send buffers
// full, one write still ends well inside the silence bound. (Under Wine each
// write costs about a fifth of a millisecond, so much smaller ones cost time.)
constexpr DWORD kWriteSize = 16 * 1024;
// After the session handle is closed a stuck connect returns within
// milliseconds, and a transfer stops before its next write. A send that the
// server never takes cannot be interrupted (WinINet holds the socket until
// the call returns): such a worker is left to end on its own. It holds the
// batch only in memory, never the local file.
constexpr DWORD kCancelGraceMs = 1000;
// The send buffers can hold megabytes: a write may wait long for them to
// drain, and the final reply can come long after the last write. When the
// store has shown no progress for this long, a second connection watches the
// server's copy grow, which is progress the silence bound counts too.
constexpr DWORD kArrivalWatchDelayMs = 2000;
// How often the waits look at the cancel flag and the activity count.
constexpr DWORD kPollMs = 50;
// NOOPs while a late final reply is awaited: it is read soon, a slow link is not flooded.
constexpr DWORD kNoopIntervalMs = 500;
// The local batch is read in pieces, so that a slow disk shows as activity.
constexpr DWORD kReadSize = 1 << 20;
// The replies read here (to SIZE, NOOP and the end of a store) are one short line.
constexpr DWORD kReplyBufferSize = 1024;
constexpr char kUserAgent[] = "Quendrel";

std::string Trimmed(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

FtpStatus ErrorStatus(DWORD error) { return FtpStatus::Failed(SystemErrorText(error, ErrorSource::WinInet)); }

// The failure of the WinINet call that has just failed on this thread (both
// the error code and the server's reply are kept per thread).
FtpStatus LastWinInetFailure() {
    const DWORD error = ::GetLastError();
    DWORD extended = 0, length = 0;
    ::InternetGetLastResponseInfoA(&extended, nullptr, &length);
    std::string reply;
    if (length > 0) {
        reply.resize(length + 1);
        DWORD size = length + 1;
        if (::InternetGetLastResponseInfoA(&extended, reply.data(), &size)) reply.resize(size);
        else reply.clear();
    }
    return FtpStatus::Failed(DescribeWinInetError(error, reply));
}

std::string LastResponse() {
    DWORD extended = 0;
    char buffer[kReplyBufferSize] = {};
    DWORD size = sizeof buffer;
    if (!::InternetGetLastResponseInfoA(&extended, buffer, &size)) return {};
    return Trimmed(std::string(buffer, size));
}

std::string BoundText(std::chrono::milliseconds bound) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(bound);
    if (seconds == bound) return std::to_string(seconds.count()) + " seconds";
    return std::to_string(bound.count()) + " milliseconds";
}

enum class WaitEnd { JobDone, Silent, Aborted, Quit };

// Waits for the job while dispatching this thread's window messages. A
// WM_QUIT is not dispatched: the wait ends and the caller posts it again.
WaitEnd WaitDispatching(WinInetFtpClient::Session& session, std::chrono::milliseconds bound,
                        const bool& abortRequested, const WinInetFtpClient::MessageFilter& filter,
                        WPARAM& quitCode) {
    using Clock = std::chrono::steady_clock;
    unsigned long long lastActivity = session.activity.load();
    Clock::time_point lastChange = Clock::now();
    HANDLE done = session.jobDone.get();
    for (;;) {
        if (abortRequested) return WaitEnd::Aborted;
        const DWORD woke = ::MsgWaitForMultipleObjectsEx(1, &done, kPollMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0) return WaitEnd::JobDone;
        if (woke == WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    quitCode = msg.wParam;
                    return WaitEnd::Quit;
                }
                if (!filter || !filter(msg)) {
                    ::TranslateMessage(&msg);
                    ::DispatchMessageA(&msg);
                }
                if (abortRequested) return WaitEnd::Aborted;
            }
        }
        if (::WaitForSingleObject(done, 0) == WAIT_OBJECT_0) return WaitEnd::JobDone;
        const unsigned long long activity = session.activity.load();
        if (activity != lastActivity) {
            lastActivity = activity;
            lastChange = Clock::now();
        } else if (Clock::now() - lastChange >= bound) {
            return WaitEnd::Silent;
        }
    }
}

void StartJob(const std::shared_ptr<WinInetFtpClient::Session>& session,
              std::function<FtpStatus(WinInetFtpClient::Session&)> job) {
    ::ResetEvent(session->jobDone.get());
    session->outcome = FtpStatus::Ok();
    session->jobRunning = true;
    // The worker holds the session too, so a worker left behind after a
    // cancel never touches freed memory.
    session->worker = std::thread([session, job = std::move(job)] {
        session->outcome = job(*session);
        ::SetEvent(session->jobDone.get());
    });
}

void CollectJob(WinInetFtpClient::Session& session) {
    if (session.worker.joinable()) session.worker.join();
    session.jobRunning = false;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// Binary type, so that servers answer SIZE with the exact byte count.
void UseBinaryType(HINTERNET connection) {
    ::FtpCommandA(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, "TYPE I", 0, nullptr);
}

std::optional<unsigned long long> SizeBySizeCommand(HINTERNET connection, const std::string& remoteName) {
    const std::string command = "SIZE " + remoteName;
    if (!::FtpCommandA(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0, nullptr)) return std::nullopt;
    return SizeFromReply(LastResponse());
}

std::optional<unsigned long long> SizeByListing(HINTERNET connection, const std::string& remoteName) {
    WIN32_FIND_DATAA found{};
    const unique_hinternet listing(::FtpFindFirstFileA(connection, remoteName.c_str(), &found,
                                                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!listing) return std::nullopt;
    const std::string leaf = RemoteLeafName(remoteName);
    std::optional<unsigned long long> size;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && SameNameIgnoringCase(found.cFileName, leaf)) {
            size = (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            break;
        }
    } while (::InternetFindNextFileA(listing.get(), &found));
    return size;
}

// What the server says the file's size is: SIZE where it answers, otherwise
// its directory listing. Empty when neither tells.
std::optional<unsigned long long> RemoteSize(HINTERNET connection, const std::string& remoteName,
                                             std::atomic<unsigned long long>& activity) {
    auto size = SizeBySizeCommand(connection, remoteName);
    ++activity;
    if (size) return size;
    size = SizeByListing(connection, remoteName);
    ++activity;
    return size;
}

FtpStatus ReadWholeLocalFile(const std::string& name, std::string& bytes, std::atomic<unsigned long long>& activity) {
    unique_hfile local(::CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!local || !::GetFileSizeEx(local.get(), &size)) return ErrorStatus(::GetLastError());
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kReadSize));
        if (!::ReadFile(local.get(), bytes.data() + done, want, &got, nullptr)) return ErrorStatus(::GetLastError());
        if (got == 0) break;
        done += got;
        ++activity;  // a slow disk is no silent server
    }
    bytes.resize(done);
    return FtpStatus::Ok();
}

// Runs beside the worker while a store is under way: counts each growth of
// the server's copy, seen over a connection of its own once the store has
// been quiet for a while, as progress. Ends with the store, or when the
// server tells no size.
void WatchArrival(std::shared_ptr<WinInetFtpClient::Session> session, std::string remoteName) {
    auto running = [&session] { return session->storeInFlight && !session->cancelled; };
    unique_hinternet internet, connection;
    std::atomic<unsigned long long> ignored{0};
    unsigned long long seen = 0, lastActivity = session->activity;
    DWORD quietMs = 0;
    while (running()) {
        ::Sleep(kPollMs);
        const unsigned long long activity = session->activity;
        if (activity != lastActivity) {
            lastActivity = activity;
            quietMs = 0;
            continue;
        }
        if ((quietMs += kPollMs) < kArrivalWatchDelayMs) continue;
        if (!connection) {
            internet.reset(::InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
            if (!internet) return;
            connection.reset(::InternetConnectA(internet.get(), session->endpoint.host.c_str(),
                                                session->endpoint.port, session->user.c_str(),
                                                session->password.c_str(), INTERNET_SERVICE_FTP,
                                                INTERNET_FLAG_PASSIVE, 0));
            if (!connection) return;
            UseBinaryType(connection.get());
        }
        const auto size = RemoteSize(connection.get(), remoteName, ignored);
        if (!size) return;
        if (*size > seen) {
            seen = *size;
            ++session->activity;
        }
        quietMs = kArrivalWatchDelayMs / 2;  // look again in a second
    }
}

// WinINet stops waiting for the final reply to a store after a time-out of
// its own, and on a slow link the reply comes later. Then the reply to each
// NOOP is its own while the transfer still runs, or the late final reply,
// which the server sends first. Ends with the silence bound at the latest;
// empty when no final reply came.
std::optional<std::string> LateFinalReply(WinInetFtpClient::Session& session) {
    while (!session.cancelled) {
        for (DWORD waited = 0; waited < kNoopIntervalMs && !session.cancelled; waited += kPollMs) ::Sleep(kPollMs);
        const BOOL answered =
            ::FtpCommandA(session.connection.get(), FALSE, FTP_TRANSFER_TYPE_BINARY, "NOOP", 0, nullptr);
        const DWORD error = ::GetLastError();
        const std::string reply = LastResponse();
        if (IsCompletionReply(reply) || IsRefusalReply(reply)) return reply;
        if (!answered && error != ERROR_INTERNET_TIMEOUT) return std::nullopt;  // the connection is gone
    }
    return std::nullopt;
}

FtpStatus UploadJob(const std::shared_ptr<WinInetFtpClient::Session>& sessionPtr, const std::string& localName,
                    const std::string& remoteName) {
    WinInetFtpClient::Session& session = *sessionPtr;
    // Held in memory, so that the local batch file is free again at once,
    // however the transfer ends.
    std::string bytes;
    const FtpStatus loaded = ReadWholeLocalFile(localName, bytes, session.activity);
    if (!loaded.ok()) return loaded;

    // A file of this name on the server may be another PC's batch that has
    // not been collected yet: never store over it. A server that tells
    // neither SIZE nor a listing gives no reason to refuse.
    UseBinaryType(session.connection.get());
    if (RemoteSize(session.connection.get(), remoteName, session.activity))
        return FtpStatus::Failed(NameTakenOnServerMessage(RemoteLeafName(remoteName)));
    if (session.cancelled) return FtpStatus::Ok();  // nobody reads the outcome any more

    unique_hinternet remote(
        ::FtpOpenFileA(session.connection.get(), remoteName.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0));
    if (!remote) return LastWinInetFailure();
    session.storeUnsettled = true;
    session.storeInFlight = true;
    std::thread(WatchArrival, sessionPtr, remoteName).detach();
    ++session.activity;

    FtpStatus status = FtpStatus::Ok();
    std::size_t sent = 0;
    while (sent < bytes.size() && !session.cancelled) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(kWriteSize, bytes.size() - sent));
        DWORD written = 0;
        if (!::InternetWriteFile(remote.get(), bytes.data() + sent, piece, &written)) {
            status = LastWinInetFailure();
            break;
        }
        if (written == 0) {
            status = FtpStatus::Failed("The FTP server stopped taking the file " + remoteName + ".");
            break;
        }
        sent += written;
        ++session.activity;
    }
    if (session.cancelled) {  // the waiting thread has closed the session, and this file with it
        remote.release();
        return status;
    }

    // Closed now, not at the end: closing the file ends the data connection
    // and reads the server's final reply to the store, which is then this
    // thread's last response.
    remote.reset();
    StoreEvidence evidence{LastResponse(), std::nullopt, sent};
    if (status.ok() && !IsCompletionReply(evidence.finalReply) && !IsRefusalReply(evidence.finalReply))
        evidence.finalReply = LateFinalReply(session).value_or(evidence.finalReply);
    session.storeInFlight = false;
    ++session.activity;
    if (session.cancelled) return status;

    if (status.ok() && !IsRefusalReply(evidence.finalReply)) {
        evidence.remoteSize = SizeBySizeCommand(session.connection.get(), remoteName);
        ++session.activity;
        if (!evidence.remoteSize && !IsCompletionReply(evidence.finalReply))
            evidence.remoteSize = SizeByListing(session.connection.get(), remoteName);
    }
    if (!status.ok()) {  // the server's own reason, where it gave one
        if (IsRefusalReply(evidence.finalReply)) status = FtpStatus::Failed(evidence.finalReply);
    } else {
        status = ConfirmStore(evidence, remoteName);
    }
    if (!status.ok()) {
        // An importer must never see a cut batch; a refused delete changes nothing.
        ::FtpDeleteFileA(session.connection.get(), remoteName.c_str());
        ++session.activity;
    }
    session.storeUnsettled = false;
    return status;
}

}  // namespace

std::string DescribeWinInetError(unsigned long error, const std::string& serverReply) {
    const std::string reply = Trimmed(serverReply);
    if (IsRefusalReply(reply)) return reply;
    return SystemErrorText(error, ErrorSource::WinInet);
}

WinInetFtpClient::WinInetFtpClient(std::chrono::milliseconds responseBound) : responseBound_(responseBound) {}

WinInetFtpClient::~WinInetFtpClient() { DropSession(); }

FtpStatus WinInetFtpClient::Connect() {
    DropSession();
    abortRequested_ = false;
    const auto endpoint = ParseFtpHost(host_);
    if (!endpoint) return FtpStatus::Failed("\"" + host_ + "\" is not an FTP server name with an optional port.");

    auto session = std::make_shared<Session>();
    session->internet.reset(::InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session->internet) return LastWinInetFailure();
    if (!session->jobDone) return ErrorStatus(::GetLastError());

    session->endpoint = *endpoint;
    session->user = user_;
    session->password = password_;
    HINTERNET internet = session->internet.get();
    StartJob(session, [internet, endpoint = *endpoint, user = user_, password = password_](Session& s) {
        s.connection.reset(::InternetConnectA(internet, endpoint.host.c_str(), endpoint.port, user.c_str(),
                                              password.c_str(), INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0));
        if (!s.connection) return LastWinInetFailure();
        ++s.activity;
        return FtpStatus::Ok();
    });
    session_ = std::move(session);
    return FtpStatus::Ok();
}

bool WinInetFtpClient::IsConnected() {
    if (!session_) return false;
    if (session_->jobRunning) {
        if (::WaitForSingleObject(session_->jobDone.get(), 0) != WAIT_OBJECT_0) return false;
        CollectJob(*session_);
    }
    return session_->outcome.ok() && session_->connection;
}

FtpStatus WinInetFtpClient::WaitForConnection() {
    if (!session_) return FtpStatus::Failed("There is no FTP connection.");
    if (session_->jobRunning) {
        const FtpStatus waited =
            Finish(("The FTP server " + host_ + " did not answer within " + BoundText(responseBound_) + ".").c_str(),
                   nullptr);
        if (!waited.ok()) return waited;
    }
    return JobOutcome();
}

FtpStatus WinInetFtpClient::Put(const std::string& localName, const std::string& remoteName) {
    if (!IsConnected()) return FtpStatus::Failed("There is no FTP connection.");
    const std::shared_ptr<Session> session = session_;
    StartJob(session, [session, localName, remoteName](Session&) { return UploadJob(session, localName, remoteName); });
    bool silent = false;
    const FtpStatus waited = Finish(("The transfer to the FTP server " + host_ + " made no progress for " +
                                     BoundText(responseBound_) + ".")
                                        .c_str(),
                                    &silent);
    if (!waited.ok()) {
        if (silent && session->storeUnsettled) RemoveStump(remoteName);
        return waited;
    }
    return JobOutcome();
}

// The transfer was given up with its session: a fresh connection deletes what
// the server kept, within the same silence bound. Best effort.
void WinInetFtpClient::RemoveStump(const std::string& remoteName) {
    if (!Connect().ok() || !WaitForConnection().ok()) return;
    StartJob(session_, [remoteName](Session& s) {
        ::FtpDeleteFileA(s.connection.get(), remoteName.c_str());
        return FtpStatus::Ok();
    });
    if (Finish("", nullptr).ok()) DropSession();
}

// The outcome of the job that ended by itself; a failed one ends the session.
FtpStatus WinInetFtpClient::JobOutcome() {
    const FtpStatus outcome = session_->outcome;
    if (!outcome.ok()) DropSession();
    return outcome;
}

// Waits for the running job. Ok when it ended by itself (its own outcome is
// in session_->outcome); otherwise the session is gone and the reason returned.
FtpStatus WinInetFtpClient::Finish(const char* silenceText, bool* silent) {
    WPARAM quitCode = 0;
    const WaitEnd end = WaitDispatching(*session_, responseBound_, abortRequested_, messageFilter_, quitCode);
    if (silent != nullptr) *silent = end == WaitEnd::Silent;
    if (end == WaitEnd::JobDone) {
        CollectJob(*session_);
        return FtpStatus::Ok();
    }
    const std::string reason = end == WaitEnd::Silent ? std::string(silenceText)
                                                      : std::string("The upload was stopped because the program is closing.");
    DropSession();
    if (end == WaitEnd::Quit) ::PostQuitMessage(static_cast<int>(quitCode));
    return FtpStatus::Failed(reason);
}

void WinInetFtpClient::Disconnect() { DropSession(); }

void WinInetFtpClient::Abort() {
    abortRequested_ = true;
    // Outside a wait there is nothing to interrupt; just end the session.
    if (session_ && !session_->jobRunning) DropSession();
}

void WinInetFtpClient::DropSession() {
    if (!session_) return;
    std::shared_ptr<Session> session = std::move(session_);
    if (session->jobRunning) {
        session->cancelled = true;
        session->internet.reset();  // makes the stuck WinINet call return
        if (::WaitForSingleObject(session->jobDone.get(), kCancelGraceMs) == WAIT_OBJECT_0) {
            CollectJob(*session);
        } else {
            session->worker.detach();  // it keeps the session alive until it ends
        }
        return;
    }
    // Closed now, not when the last holder lets go: an arrival watch may hold
    // the session a moment longer.
    session->connection.reset();
    session->internet.reset();
}

}  // namespace quendrel
