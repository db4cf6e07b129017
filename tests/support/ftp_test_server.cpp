#include "support/ftp_test_server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

namespace quendrel::testing {

namespace {
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr auto kStartTimeout = 20s;
constexpr auto kStopTimeout = 5s;

std::atomic<int> folderCounter{0};

const std::string kPython = "/usr/bin/python3";
std::string ServerScript() { return std::string(QUENDREL_SOURCE_DIR) + "/tests/support/ftp_test_server.py"; }

bool ReadWholeFile(const std::string& path, std::string& contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream out;
    out << in.rdbuf();
    contents = out.str();
    return true;
}

std::string UniqueName(const std::string& purpose) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return purpose + "-" + std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) + "-" +
           std::to_string(folderCounter++);
}

std::string NewFolder(const std::string& parent, const std::string& purpose) {
    std::error_code ignored;
    fs::create_directories(HostPath(parent), ignored);
    const std::string unixPath = parent + "/" + UniqueName(purpose);
    fs::create_directories(HostPath(unixPath), ignored);
    return unixPath;
}
// What the suite's server modes need, checked once before its first case.
class ServerRequirements final : public ::testing::Environment {
public:
    std::set<std::string> modes;

    void SetUp() override {
        std::string modeList;
        for (const std::string& mode : modes) modeList += (modeList.empty() ? "" : ",") + mode;
        const std::string unixReport = NewFolder(std::string(QUENDREL_BINARY_DIR) + "/test-ftp", "check") + "/missing";
        std::string error;
        const auto check =
            StartLinuxProgram(kPython + " " + ServerScript() + " --check " + unixReport + " --mode " + modeList, error);
        if (!check) GTEST_FAIL() << kPython << " cannot be started (" << error << "): install the package python3";
        std::string missing;
        const auto started = std::chrono::steady_clock::now();
        while (!ReadWholeFile(HostPath(unixReport), missing)) {
            if (std::chrono::steady_clock::now() - started > kStartTimeout)
                GTEST_FAIL() << kPython << " did not run the FTP test server's check: install the package python3";
            std::this_thread::sleep_for(20ms);
        }
        if (!missing.empty()) GTEST_FAIL() << "The FTP test server cannot run on this machine:\n" << missing;
    }
};
}  // namespace

bool SuiteUsesFtpTestServer(std::initializer_list<const char*> modes) {
    static ServerRequirements* const requirements = [] {
        auto* made = new ServerRequirements;
        ::testing::AddGlobalTestEnvironment(made);  // which owns it from here
        return made;
    }();
    requirements->modes.insert(modes.begin(), modes.end());
    return true;
}

std::string MakeScratchFolder(const std::string& purpose) {
    return HostPath(NewFolder(std::string(QUENDREL_BINARY_DIR) + "/test-scratch", purpose));
}

FtpTestServer::FtpTestServer(FtpTestServerOptions options) {
    const std::string unixDir = NewFolder(std::string(QUENDREL_BINARY_DIR) + "/test-ftp", "server");
    dir_ = HostPath(unixDir);
    std::error_code ignored;
    fs::create_directories(rootPath() + "/in", ignored);

    std::ostringstream command;
    command << kPython << " " << ServerScript()
            << " --root " << unixDir << "/root --user " << kFtpTestUser << " --password " << kFtpTestPassword
            << " --port-file " << unixDir << "/port --stop-file " << unixDir << "/stop --log-file " << unixDir
            << "/server.log --command-log " << unixDir << "/commands --pin-file " << unixDir << "/pin --mode "
            << options.mode << " --lifetime 300";
    anonymous_ = options.mode == "tls" || options.mode == "vsftpd";
    if (options.readLimit) command << " --read-limit " << options.readLimit;
    if (options.stallAfter) command << " --stall-after " << options.stallAfter;
    if (options.dieAfter) command << " --die-after " << options.dieAfter;
    if (options.refuseStoreAfter) command << " --refuse-store-after " << options.refuseStoreAfter;
    // A reply is one word for the command line: its code; the server adds a text.
    if (!options.sizeReply.empty()) command << " --size-reply " << options.sizeReply;
    if (options.refuseRename) command << " --refuse-rename";
    if (options.storeOnly) command << " --store-only";
    if (options.refuseMkd) command << " --refuse-mkd";
    if (options.loseRntoReply) command << " --lose-rnto-reply";
    if (options.swallowQuit) command << " --swallow-quit";
    if (options.tls13Only) command << " --tls13-only";
    for (const std::string& existing : options.existingFiles) command << " --existing " << existing;

    process_ = StartLinuxProgram(command.str(), startError_);
    if (!process_) {
        startError_ = "cannot start the FTP test server: " + startError_;
        return;
    }
    const auto started = std::chrono::steady_clock::now();
    std::string portText;
    while (std::chrono::steady_clock::now() - started < kStartTimeout) {
        if (ReadWholeFile(dir_ + "/port", portText) && !portText.empty()) {
            port_ = std::atoi(portText.c_str());
            return;
        }
        std::this_thread::sleep_for(50ms);
    }
    startError_ = "the FTP test server did not report its port; see " + dir_ + "/server.log";
}

FtpTestServer::~FtpTestServer() { Stop(); }

std::string FtpTestServer::hostSetting() const { return "127.0.0.1:" + std::to_string(port_); }

std::string FtpTestServer::ServerKeyPin() const {
    std::string pin;
    ReadWholeFile(dir_ + "/pin", pin);
    while (!pin.empty() && (pin.back() == '\n' || pin.back() == '\r')) pin.pop_back();
    return pin;
}

bool FtpTestServer::ReadServerFile(const std::string& remotePath, std::string& contents) const {
    return ReadWholeFile(rootPath() + "/" + remotePath, contents);
}

std::vector<std::string> FtpTestServer::ServerFileNames(const std::string& folder) const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(rootPath() + "/" + folder, error)) {
        names.push_back(entry.path().filename().string() + (entry.is_directory() ? "/" : ""));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> FtpTestServer::Commands() const {
    std::string log;
    ReadWholeFile(dir_ + "/commands", log);
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void FtpTestServer::Stop() {
    if (!process_) return;
    std::ofstream(dir_ + "/stop") << "stop\n";
    // The server looks for the stop file every 20 ms and removes its port
    // file as it ends.
    const auto started = std::chrono::steady_clock::now();
    std::string ignored;
    while (std::chrono::steady_clock::now() - started < kStopTimeout && ReadWholeFile(dir_ + "/port", ignored))
        std::this_thread::sleep_for(20ms);
    process_.reset();
}

}  // namespace quendrel::testing
