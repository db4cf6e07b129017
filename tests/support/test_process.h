#pragma once
// What the portable test support needs of the system it runs on: under Wine
// the Linux file system is seen through drive Z:, and Linux programs are
// started like Windows ones.
#include <memory>
#include <string>

namespace quendrel::testing {

// A path of the Linux file system as this build's file functions take it.
std::string HostPath(const std::string& linuxPath);
// False where the system's TLS accepts any certificate: Wine's Schannel does
// not check a server's certificate chain, Windows' own does (and OpenSSL).
bool SystemTlsChecksCertificates();

// A started Linux program that ends by itself; letting go of it waits a
// moment for its end and, failing that, ends it.
class StartedProgram {
public:
    virtual ~StartedProgram() = default;
};
// Starts a Linux program (the command line split at blanks) without waiting
// for it; null, with the reason in `error`, when it cannot be started.
std::unique_ptr<StartedProgram> StartLinuxProgram(const std::string& commandLine, std::string& error);

}  // namespace quendrel::testing
