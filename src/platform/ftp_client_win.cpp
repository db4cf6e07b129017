#include "platform/ftp_client_win.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cctype>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/unique_handle_win.h"

namespace quendrel {

struct WinInetFtpClient::Session {
    unique_hinternet internet;       // closed only by the waiting thread
    HINTERNET connection = nullptr;  // set by the connect job; read once that job has ended
    unique_handle jobDone{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::thread worker;
    bool jobRunning = false;  // waiting thread only
    // Bumped by the worker at every step and every chunk sent; the waiting
    // thread calls the server silent when it stops moving.
    std::atomic<unsigned long long> activity{0};
    // Set before the waiting thread closes the handles under a stuck job: the
    // job then leaves every handle alone.
    std::atomic<bool> cancelled{false};
    // Outcome of the last job; written by the worker before it signals jobDone.
    std::string failure;
};

namespace {

constexpr DWORD kChunkSize = 64 * 1024;
// After the session handle is closed a stuck connect returns within
// milliseconds, and a transfer stops after the chunk in flight. A send that
// the server never takes cannot be interrupted (WinINet holds the socket
// until the call returns): such a worker is left to end on its own.
constexpr DWORD kCancelGraceMs = 1000;

std::string Trimmed(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

std::string SystemMessage(DWORD error) {
    HMODULE wininet = ::GetModuleHandleA("wininet.dll");
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    if (wininet != nullptr) flags |= FORMAT_MESSAGE_FROM_HMODULE;
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(flags, wininet, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text;
    if (length != 0 && buffer != nullptr) text.assign(buffer, length);
    if (buffer != nullptr) ::LocalFree(buffer);
    text = Trimmed(std::move(text));
    if (text.empty()) text = "The FTP transfer failed (error " + std::to_string(error) + ").";
    return text;
}

// The failure of the WinINet call that has just failed on this thread (both
// the error code and the server's reply are kept per thread).
std::string LastWinInetFailure() {
    const DWORD error = ::GetLastError();
    DWORD extended = 0;
    DWORD length = 0;
    ::InternetGetLastResponseInfoA(&extended, nullptr, &length);
    std::string reply;
    if (length > 0) {
        reply.resize(length + 1);
        DWORD size = length + 1;
        if (::InternetGetLastResponseInfoA(&extended, reply.data(), &size)) reply.resize(size);
        else reply.clear();
    }
    return DescribeWinInetError(error, reply);
}

std::string LastResponse() {
    DWORD extended = 0;
    char buffer[1024] = {};
    DWORD size = sizeof buffer;
    if (!::InternetGetLastResponseInfoA(&extended, buffer, &size)) return {};
    return Trimmed(std::string(buffer, size));
}

std::string BoundText(std::chrono::milliseconds bound) {
    if (bound.count() % 1000 == 0) return std::to_string(bound.count() / 1000) + " seconds";
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
        const DWORD woke = ::MsgWaitForMultipleObjectsEx(1, &done, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
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
              std::function<std::string(WinInetFtpClient::Session&)> job) {
    ::ResetEvent(session->jobDone.get());
    session->failure.clear();
    session->jobRunning = true;
    // The worker holds the session too, so a worker left behind after a
    // cancel never touches freed memory.
    session->worker = std::thread([session, job = std::move(job)] {
        session->failure = job(*session);
        ::SetEvent(session->jobDone.get());
    });
}

void CollectJob(WinInetFtpClient::Session& session) {
    if (session.worker.joinable()) session.worker.join();
    session.jobRunning = false;
}

std::string ConfirmRemoteSize(HINTERNET connection, const std::string& remoteName, unsigned long long sent) {
    const std::string command = "SIZE " + remoteName;
    if (!::FtpCommandA(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0, nullptr)) {
        const std::string failure = LastWinInetFailure();
        // A server without SIZE cannot confirm; the transfer itself succeeded.
        for (const char* unsupported : {"500", "502", "504"}) {
            if (failure.compare(0, 3, unsupported) == 0) return {};
        }
        return failure;
    }
    const std::string reply = LastResponse();
    if (reply.compare(0, 4, "213 ") != 0) return {};
    const std::string held = Trimmed(reply.substr(4));
    if (held != std::to_string(sent)) {
        return "The FTP server kept " + held + " of the " + std::to_string(sent) + " bytes of " + remoteName +
               ". The upload is incomplete.";
    }
    return {};
}

std::string UploadJob(WinInetFtpClient::Session& session, const std::string& localName,
                      const std::string& remoteName) {
    // Shared for deletion: a failed upload's batch file must go even while a
    // worker left behind by a cancel still holds it.
    unique_hfile local(::CreateFileA(localName.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!local) return SystemMessage(::GetLastError());

    HINTERNET remote =
        ::FtpOpenFileA(session.connection, remoteName.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0);
    if (remote == nullptr) return LastWinInetFailure();
    ++session.activity;

    std::string failure;
    std::vector<char> buffer(kChunkSize);
    unsigned long long sent = 0;
    while (!session.cancelled) {
        DWORD got = 0;
        if (!::ReadFile(local.get(), buffer.data(), kChunkSize, &got, nullptr)) {
            failure = SystemMessage(::GetLastError());
            break;
        }
        if (got == 0) break;
        DWORD offset = 0;
        while (offset < got && failure.empty()) {
            DWORD written = 0;
            if (!::InternetWriteFile(remote, buffer.data() + offset, got - offset, &written)) {
                failure = LastWinInetFailure();
            } else if (written == 0) {
                failure = "The FTP server stopped taking the file " + remoteName + ".";
            }
            offset += written;
            sent += written;
            ++session.activity;
        }
        if (!failure.empty()) break;
    }
    if (session.cancelled) return failure;
    // Closing the file ends the data connection and reads the server's verdict.
    ::InternetCloseHandle(remote);
    ++session.activity;
    if (!failure.empty() || session.cancelled) return failure;
    // The close does not report a refused transfer, so ask what arrived.
    failure = ConfirmRemoteSize(session.connection, remoteName, sent);
    ++session.activity;
    return failure;
}

}  // namespace

std::string DescribeWinInetError(unsigned long error, const std::string& serverReply) {
    const std::string reply = Trimmed(serverReply);
    const bool isRefusal = reply.size() >= 3 && (reply[0] == '4' || reply[0] == '5') &&
                           std::isdigit(static_cast<unsigned char>(reply[1])) &&
                           std::isdigit(static_cast<unsigned char>(reply[2]));
    if (isRefusal) return reply;
    return SystemMessage(error);
}

WinInetFtpClient::WinInetFtpClient(std::chrono::milliseconds responseBound) : responseBound_(responseBound) {}

WinInetFtpClient::~WinInetFtpClient() { DropSession(); }

FtpStatus WinInetFtpClient::Connect() {
    DropSession();
    abortRequested_ = false;
    const auto endpoint = ParseFtpHost(host_);
    if (!endpoint) return FtpStatus::Failed("\"" + host_ + "\" is not an FTP server name with an optional port.");

    auto session = std::make_shared<Session>();
    session->internet.reset(::InternetOpenA("Quendrel", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session->internet) return FtpStatus::Failed(LastWinInetFailure());
    if (!session->jobDone) return FtpStatus::Failed(SystemMessage(::GetLastError()));

    HINTERNET internet = session->internet.get();
    StartJob(session, [internet, endpoint = *endpoint, user = user_, password = password_](Session& s) {
        HINTERNET connection =
            ::InternetConnectA(internet, endpoint.host.c_str(), endpoint.port, user.c_str(), password.c_str(),
                               INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
        if (connection == nullptr) return LastWinInetFailure();
        s.connection = connection;
        ++s.activity;
        return std::string();
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
    return session_->failure.empty() && session_->connection != nullptr;
}

FtpStatus WinInetFtpClient::WaitForConnection() {
    if (!session_) return FtpStatus::Failed("There is no FTP connection.");
    if (session_->jobRunning) {
        const FtpStatus waited =
            Finish(("The FTP server " + host_ + " did not answer within " + BoundText(responseBound_) + ".").c_str());
        if (!waited.ok()) return waited;
    }
    return JobOutcome();
}

FtpStatus WinInetFtpClient::Put(const std::string& localName, const std::string& remoteName) {
    if (!IsConnected()) return FtpStatus::Failed("There is no FTP connection.");
    StartJob(session_, [localName, remoteName](Session& s) { return UploadJob(s, localName, remoteName); });
    const FtpStatus waited = Finish(("The transfer to the FTP server " + host_ + " made no progress for " +
                                     BoundText(responseBound_) + ".")
                                        .c_str());
    if (!waited.ok()) return waited;
    return JobOutcome();
}

// The outcome of the job that ended by itself; a failed one ends the session.
FtpStatus WinInetFtpClient::JobOutcome() {
    if (session_->failure.empty()) return FtpStatus::Ok();
    FtpStatus failed = FtpStatus::Failed(session_->failure);
    DropSession();
    return failed;
}

// Waits for the running job. Ok when it ended by itself (its own outcome is
// in session_->failure); otherwise the session is gone and the reason returned.
FtpStatus WinInetFtpClient::Finish(const char* silenceText) {
    WPARAM quitCode = 0;
    const WaitEnd end = WaitDispatching(*session_, responseBound_, abortRequested_, messageFilter_, quitCode);
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
    if (session->connection != nullptr) ::InternetCloseHandle(session->connection);
    session->connection = nullptr;
    session->internet.reset();
}

}  // namespace quendrel
