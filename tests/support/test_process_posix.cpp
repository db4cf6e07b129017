#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>
#include <vector>

#include "support/test_process.h"

extern char** environ;

namespace quendrel::testing {

namespace {
class PosixProgram final : public StartedProgram {
public:
    explicit PosixProgram(pid_t pid) : pid_(pid) {}
    ~PosixProgram() override {
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) != 0) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_;
};
}  // namespace

std::string HostPath(const std::string& linuxPath) { return linuxPath; }

bool SystemTlsChecksCertificates() { return true; }

std::unique_ptr<StartedProgram> StartLinuxProgram(const std::string& commandLine, std::string& error) {
    std::istringstream words(commandLine);
    std::vector<std::string> args;
    for (std::string word; words >> word;) args.push_back(word);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (failed != 0) {
        error = std::strerror(failed);
        return nullptr;
    }
    return std::make_unique<PosixProgram>(pid);
}

}  // namespace quendrel::testing
