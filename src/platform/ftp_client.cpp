#include "platform/ftp_client.h"

#include <algorithm>
#include <cctype>

namespace quendrel {

namespace {
std::optional<std::uint16_t> ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    if (!std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    const long port = std::stol(text);
    if (port < 1 || port > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(port);
}
// Hex digits, colons and dots (an IPv4 tail), with at least one colon:
// anything else with colons in it is a mistyped host, not an IPv6 address.
bool LooksLikeIpv6(const std::string& text) {
    return text.find(':') != std::string::npos &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; });
}
}  // namespace

std::optional<FtpEndpoint> ParseFtpHost(const std::string& ftpHost) {
    if (ftpHost.empty()) return std::nullopt;
    if (ftpHost.front() == '[') {
        const auto close = ftpHost.find(']');
        if (close == std::string::npos || !LooksLikeIpv6(ftpHost.substr(1, close - 1))) return std::nullopt;
        FtpEndpoint endpoint{ftpHost.substr(1, close - 1), kDefaultFtpPort};
        const std::string rest = ftpHost.substr(close + 1);
        if (rest.empty()) return endpoint;
        if (rest.front() != ':') return std::nullopt;
        const auto port = ParsePort(rest.substr(1));
        if (!port) return std::nullopt;
        endpoint.port = *port;
        return endpoint;
    }
    const auto firstColon = ftpHost.find(':');
    if (firstColon == std::string::npos) return FtpEndpoint{ftpHost, kDefaultFtpPort};
    // More than one colon without brackets: an IPv6 address with no port.
    if (ftpHost.find(':', firstColon + 1) != std::string::npos) {
        if (!LooksLikeIpv6(ftpHost)) return std::nullopt;
        return FtpEndpoint{ftpHost, kDefaultFtpPort};
    }
    if (firstColon == 0) return std::nullopt;
    const auto port = ParsePort(ftpHost.substr(firstColon + 1));
    if (!port) return std::nullopt;
    return FtpEndpoint{ftpHost.substr(0, firstColon), *port};
}

}  // namespace quendrel
