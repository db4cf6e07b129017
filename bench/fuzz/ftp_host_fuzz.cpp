// The FTP host setting to the host and port that the upload connects to.
// Invariants: a host it gives is not empty and its port is 1 to 65535; it
// holds only letters, digits, hyphens and dots, or is an IPv6 address of hex
// digits, colons and dots; a text of letters and dots alone is the host itself
// on port 21; the host and port written back as "host:port" (or
// "[v6]:port") read back as the same host and port.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "config/settings_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto endpoint = quendrel::ParseFtpHost(text);
    const bool lettersAndDots = !text.empty() && text.front() != '.' && text.back() != '.' &&
                                text.find("..") == std::string::npos &&
                                text.find_first_not_of("abcdefghijklmnopqrstuvwxyz.") == std::string::npos;
    if (lettersAndDots) {
        FUZZ_CHECK(endpoint && endpoint->host == text && endpoint->port == quendrel::kDefaultFtpPort,
                   "a plain host name is not itself on port 21");
    }
    if (!endpoint) return 0;
    FUZZ_CHECK(!endpoint->host.empty(), "empty host");
    FUZZ_CHECK(endpoint->port >= 1, "port 0");
    const bool v6 = endpoint->host.find(':') != std::string::npos;
    const char* allowed = v6 ? "0123456789abcdefABCDEF:." : "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ.-";
    FUZZ_CHECK(endpoint->host.find_first_not_of(allowed) == std::string::npos, "a host with a character no host has");

    const std::string written =
        (v6 ? "[" + endpoint->host + "]" : endpoint->host) + ":" + std::to_string(endpoint->port);
    const auto again = quendrel::ParseFtpHost(written);
    FUZZ_CHECK(again && again->host == endpoint->host && again->port == endpoint->port,
               "host and port written back read differently");
    return 0;
}
