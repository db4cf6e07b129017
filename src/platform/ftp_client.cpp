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

namespace {
bool HasReplyCode(const std::string& reply) {
    return reply.size() >= 3 && std::isdigit(static_cast<unsigned char>(reply[0])) &&
           std::isdigit(static_cast<unsigned char>(reply[1])) && std::isdigit(static_cast<unsigned char>(reply[2]));
}
std::string Trimmed(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}
}  // namespace

bool IsCompletionReply(const std::string& reply) {
    return HasReplyCode(reply) && (reply.compare(0, 3, "226") == 0 || reply.compare(0, 3, "250") == 0);
}

bool IsRefusalReply(const std::string& reply) {
    return HasReplyCode(reply) && (reply[0] == '4' || reply[0] == '5');
}

std::string UnconfirmedStore(const StoreEvidence& evidence, const std::string& remoteName) {
    if (IsRefusalReply(evidence.finalReply)) return Trimmed(evidence.finalReply);
    if (evidence.remoteSize && *evidence.remoteSize != evidence.sent) {
        return "The FTP server kept " + std::to_string(*evidence.remoteSize) + " of the " +
               std::to_string(evidence.sent) + " bytes of " + remoteName + ". The upload is incomplete.";
    }
    if (IsCompletionReply(evidence.finalReply) || evidence.remoteSize) return {};
    return "The FTP server did not confirm that it received all of " + remoteName +
           ", so the upload counts as failed.";
}

std::optional<unsigned long long> SizeFromReply(const std::string& reply) {
    if (reply.compare(0, 4, "213 ") != 0) return std::nullopt;
    const std::string digits = Trimmed(reply.substr(4));
    if (digits.empty() || digits.size() > 19 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    return std::stoull(digits);
}

std::string NameTakenOnServerMessage(const std::string& fileName) {
    return "A batch named " + fileName + " is already on the FTP server and may not have been collected yet. "
           "Nothing was sent: please try again in a minute.";
}

std::string RemoteLeafName(const std::string& remoteName) {
    const auto slash = remoteName.find_last_of("/\\");
    return slash == std::string::npos ? remoteName : remoteName.substr(slash + 1);
}

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
