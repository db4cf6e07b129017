#pragma once
// Starts tests/support/ftp_test_server.py (Debian's pyftpdlib, run by the
// system's /usr/bin/python3) natively or, from a Windows test, under Wine,
// which can start Linux programs. The server listens on a free loopback port,
// has the user kFtpTestUser with kFtpTestPassword, and ends when this object
// goes.
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "support/test_process.h"

namespace quendrel::testing {

inline constexpr const char* kFtpTestUser = "scanner";
inline constexpr const char* kFtpTestPassword = "s3cret-pw";

struct FtpTestServerOptions {
    // normal, silent (accepts, never answers), stall, tls (vsftpd, TLS
    // required, for the user "anonymous"), vsftpd (the same without TLS)
    std::string mode = "normal";
    long long readLimit = 0;      // bytes per second an upload may take (a slow link); 0 for no limit
    long long stallAfter = 0;     // stall mode: bytes read before the upload stalls
    long long dieAfter = 0;       // the server process ends abruptly after this many bytes of an upload
    long long refuseStoreAfter = 0;  // an upload is stopped with 552 after this many bytes
    std::string sizeReply;        // every SIZE gets a reply with this code ("500", "550")
    bool refuseRename = false;    // RNFR gets 550
    bool storeOnly = false;       // the user may store, and nothing else
    bool refuseMkd = false;       // the user may not make folders
    bool loseRntoReply = false;   // the first RNTO is done, but its reply lost with the connection
    bool swallowQuit = false;     // QUIT gets no reply
    bool tls13Only = false;       // tls mode: TLS 1.3 alone
    std::vector<std::string> existingFiles;  // paths below the root of files there from the start
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
    // The account the server lets in.
    std::string user() const { return anonymous_ ? "anonymous" : kFtpTestUser; }
    // tls mode: the SHA-256 of the certificate's public key, as openssl
    // computes it, in hexadecimal digits.
    std::string ServerKeyPin() const;
    // The folder the user's "/" is (with a subfolder "in"), as this build's
    // file functions name it.
    std::string rootPath() const { return dir_ + "/root"; }
    // Contents of a file on the server (path below the root, '/'-separated);
    // false when it is not there.
    bool ReadServerFile(const std::string& remotePath, std::string& contents) const;
    // The names in a folder below the root, sorted; a folder's ends in "/".
    std::vector<std::string> ServerFileNames(const std::string& folder) const;
    // Every command the server received, in order (PASS without its argument).
    std::vector<std::string> Commands() const;
    // Ends the server and waits until it is gone.
    void Stop();

private:
    std::string dir_;
    std::string startError_;
    int port_ = 0;
    bool anonymous_ = false;  // vsftpd's user
    std::unique_ptr<StartedProgram> process_;
};

// Declares, at namespace scope of a test file, the server modes its cases use
// ("normal", "tls", ...): before the suite's first case, the machine is
// checked once for the programs and system users those modes need, and the
// suite fails at once with a line for each that is missing, naming its
// package. Returns true, for a constant to hold.
bool SuiteUsesFtpTestServer(std::initializer_list<const char*> modes);

// A fresh empty folder under the build tree for one test, as this build's
// file functions name it.
std::string MakeScratchFolder(const std::string& purpose);

}  // namespace quendrel::testing
