#include "platform/ftp_client.h"

#include <algorithm>
#include <cctype>

namespace quendrel {

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

}  // namespace quendrel
