#include "support/ftp_test_server_win.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "platform/unique_handle_win.h"

namespace quendrel::testing {

namespace {
constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kStopTimeoutMs = 5000;

std::atomic<int> folderCounter{0};

bool ReadWholeFile(const std::string& path, std::string& contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream out;
    out << in.rdbuf();
    contents = out.str();
    return true;
}

void WriteWholeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

std::string UniqueName(const std::string& purpose) {
    return purpose + "-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(::GetTickCount()) + "-" +
           std::to_string(folderCounter++);
}
}  // namespace

std::string WindowsPathOf(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string MakeScratchFolder(const std::string& purpose) {
    const std::string base = WindowsPathOf(std::string(QUENDREL_BINARY_DIR) + "/test-scratch");
    ::CreateDirectoryA(base.c_str(), nullptr);
    const std::string dir = base + "\\" + UniqueName(purpose);
    ::CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

FtpTestServer::FtpTestServer(FtpTestServerOptions options) {
    const std::string base = std::string(QUENDREL_BINARY_DIR) + "/test-ftp";
    ::CreateDirectoryA(WindowsPathOf(base).c_str(), nullptr);
    unixDir_ = base + "/" + UniqueName("server");
    windowsDir_ = WindowsPathOf(unixDir_);
    ::CreateDirectoryA(windowsDir_.c_str(), nullptr);
    ::CreateDirectoryA(rootPath().c_str(), nullptr);
    ::CreateDirectoryA((rootPath() + "\\in").c_str(), nullptr);

    std::ostringstream command;
    command << "/usr/bin/python3 " << QUENDREL_SOURCE_DIR << "/tests/support/ftp_test_server.py"
            << " --root " << unixDir_ << "/root --user " << kFtpTestUser << " --password " << kFtpTestPassword
            << " --port-file " << unixDir_ << "/port --stop-file " << unixDir_ << "/stop --log-file " << unixDir_
            << "/server.log --mode " << options.mode << " --lifetime 300";
    if (options.readLimit) command << " --read-limit " << options.readLimit;
    if (options.stallAfter) command << " --stall-after " << options.stallAfter;
    if (options.dieAfter) command << " --die-after " << options.dieAfter;
    if (options.refuseStoreAfter) command << " --refuse-store-after " << options.refuseStoreAfter;
    if (!options.sizeReply.empty()) command << " --size-reply \"" << options.sizeReply << "\"";
    if (!options.existingFile.empty()) command << " --existing " << options.existingFile;

    std::string commandLine = command.str();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        startError_ = "cannot start the FTP test server: error " + std::to_string(::GetLastError());
        return;
    }
    // Wine hands back a stand-in for a Linux process; the server is told to
    // stop through its stop file instead.
    unique_handle processHandle(process.hProcess), threadHandle(process.hThread);
    running_ = true;

    const DWORD started = ::GetTickCount();
    std::string portText;
    while (::GetTickCount() - started < kStartTimeoutMs) {
        if (ReadWholeFile(windowsDir_ + "\\port", portText) && !portText.empty()) {
            port_ = std::atoi(portText.c_str());
            return;
        }
        ::Sleep(50);
    }
    startError_ = "the FTP test server did not report its port; see " + windowsDir_ + "\\server.log";
}

FtpTestServer::~FtpTestServer() { Stop(); }

std::string FtpTestServer::hostSetting() const {
    return "127.0.0.1:" + std::to_string(port_);
}

bool FtpTestServer::ReadServerFile(const std::string& remotePath, std::string& contents) const {
    std::string path = rootPath() + "\\" + remotePath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return ReadWholeFile(path, contents);
}

void FtpTestServer::Stop() {
    if (!running_) return;
    running_ = false;
    WriteWholeFile(windowsDir_ + "\\stop", "stop\n");
    // The server looks for the stop file every 50 ms and removes its port
    // file as it ends.
    const DWORD started = ::GetTickCount();
    std::string ignored;
    while (::GetTickCount() - started < kStopTimeoutMs && ReadWholeFile(windowsDir_ + "\\port", ignored)) ::Sleep(20);
}

}  // namespace quendrel::testing
