#pragma once
// Starts tests/support/ftp_test_server.py (Debian's pyftpdlib, run by the
// system's /usr/bin/python3) from a Windows test under Wine, which can start
// Linux programs. The server listens on a free loopback port, has the user
// kFtpTestUser with kFtpTestPassword, and ends when this object goes.
#include <string>

namespace quendrel::testing {

inline constexpr const char* kFtpTestUser = "scanner";
inline constexpr const char* kFtpTestPassword = "s3cret-pw";

struct FtpTestServerOptions {
    std::string mode = "normal";  // normal, silent (accepts, never answers), stall
    long long readLimit = 0;      // bytes per second an upload may take; 0 for no limit
    long long stallAfter = 0;     // stall mode: bytes read before the upload stalls
    long long dieAfter = 0;       // the server process ends abruptly after this many bytes of an upload
    long long refuseStoreAfter = 0;  // an upload is stopped with 552 after this many bytes
    std::string sizeReply;        // every SIZE gets this reply ("500 ...", "550 ...")
    std::string existingFile;     // path below the root of a file there from the start
};

class FtpTestServer {
public:
    explicit FtpTestServer(FtpTestServerOptions options = {});
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    // Empty when the server is up; otherwise why it is not.
    const std::string& startError() const { return startError_; }
    int port() const { return port_; }
    // "127.0.0.1:PORT", as an FtpHost setting names it.
    std::string hostSetting() const;
    // Windows path of the folder the user's "/" is, with a subfolder "in".
    std::string rootPath() const { return windowsDir_ + "\\root"; }
    // Contents of a file on the server (path below the root, '/'-separated);
    // false when it is not there.
    bool ReadServerFile(const std::string& remotePath, std::string& contents) const;
    // Ends the server and waits until it is gone.
    void Stop();

private:
    std::string unixDir_;
    std::string windowsDir_;
    std::string startError_;
    int port_ = 0;
    bool running_ = false;
};

// Z:-prefixed Windows path for a path of the Linux file system.
std::string WindowsPathOf(const std::string& unixPath);
// A fresh empty folder under the build tree for one test; Windows path.
std::string MakeScratchFolder(const std::string& purpose);

}  // namespace quendrel::testing
