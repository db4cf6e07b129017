#include "makereg/show_settings.h"

#include "config/regcode.h"
#include "config/settings_rules.h"
#include "platform/ftp_session.h"
#include "upload/ftp_upload.h"

namespace quendrel::makereg {

std::string Shown(const std::string& value) { return value.empty() ? "(empty)" : value; }

std::string ServerShown(const std::string& host) {
    const auto endpoint = ParseFtpHost(host);
    if (!endpoint) return Shown(host);
    return ServerAddress(endpoint->host, endpoint->port);
}

std::string BatchPlace(const LocationSettings& settings) {
    return RemoteFileName(settings.RemotePath, "<YYMMDDhhmm>" + settings.LocationCode + std::string(kBatchExtension));
}

std::string DescribeSettings(const LocationSettings& settings) {
    std::string text;
    text += "Server:       " + ServerShown(settings.FtpHost) + "\n";
    text += "User:         " + Shown(settings.FtpUser) + "\n";
    text += std::string("Password:     ") + (settings.FtpPassword.empty() ? "(empty)" : "set") + "\n";
    text += "Remote path:  " + Shown(settings.RemotePath) + " (a batch goes to " + BatchPlace(settings) + ")\n";
    text += "Location:     " + Shown(settings.LocationCode) + "\n";
    if (settings.FtpTls == kTlsRequired) {
        text += "Transfer:     FTP over TLS, ";
        text += settings.ServerKeyPin.empty() ? "the certificate checked by Windows\n"
                                              : "the server's key pinned (" + settings.ServerKeyPin + ")\n";
    } else {
        text += "Transfer:     plain FTP" + std::string(settings.FtpTls.empty() ? "" : " (t=" + settings.FtpTls + ")") +
                ": the password crosses the network as it is\n";
    }
    const Status usable = CheckLocationSettings(settings, EmptySettings::FtpHostNeeded);
    text += "Check:        " + (usable.ok() ? std::string("Quendrel can start and send with these settings.")
                                            : usable.description) +
            "\n";
    return text;
}

Status RegCodeOfRegFile(const std::string& regFile, std::string& regCode) {
    const std::string start = std::string("\"") + kLocationValueName + "\"=\"";
    const auto from = regFile.find(start);
    if (regFile.rfind("REGEDIT4", 0) != 0 || from == std::string::npos)
        return Status::Failed("This is not a location.reg: it sets no " + std::string(kLocationValueName) + ".");
    const auto begin = from + start.size();
    const auto end = regFile.find('"', begin);
    if (end == std::string::npos) return Status::Failed("The REGCODE line of this location.reg is cut short.");
    regCode = regFile.substr(begin, end - begin);
    return Status::Ok();
}

std::string DescribeRegistry(IRegistry& registry) {
    const auto state = [&](RegView view) {
        const std::optional<std::string> value = RegCodeInView(registry, view);
        return !value ? std::string("no REGCODE") : value->empty() ? std::string("an empty REGCODE") : "a REGCODE";
    };
    const std::string key = "(HKLM\\" + std::string(kLocationSubkey);
    std::string text = "32-bit view " + key + " /reg:32): " + state(RegView::Bits32) + "\n";
    text += "64-bit view " + key + " /reg:64): " + state(RegView::Bits64) + "\n";
    const std::optional<FoundRegCode> found = FindRegCode(registry);
    if (!found || found->text.empty()) {
        return text + "Quendrel finds no settings and will not start: import a location.reg with "
                      "reg import location.reg /reg:32\n";
    }
    text += std::string("Quendrel reads the ") + (found->view == RegView::Bits32 ? "32-bit" : "64-bit") + " view:\n\n";
    return text + DescribeSettings(ParseSettingsText(DecodeRegCode(found->text)));
}

}  // namespace quendrel::makereg
