#include "makereg/show_settings.h"

#include "config/regcode.h"
#include "config/settings_rules.h"
#include "platform/ftp_session.h"
#include "upload/ftp_upload.h"

namespace quendrel::makereg {

namespace {

std::string Shown(const std::string& value) { return value.empty() ? "(empty)" : value; }

std::string ServerShown(const std::string& host) {
    const auto endpoint = ParseFtpHost(host);
    if (!endpoint) return Shown(host);
    return ServerAddress(endpoint->host, endpoint->port);
}

}  // namespace

std::string DescribeSettings(const LocationSettings& settings) {
    std::string text;
    text += "Server:       " + ServerShown(settings.FtpHost) + "\n";
    text += "User:         " + Shown(settings.FtpUser) + "\n";
    text += std::string("Password:     ") + (settings.FtpPassword.empty() ? "(empty)" : "set") + "\n";
    text += "Remote path:  " + Shown(settings.RemotePath) + " (a batch goes to " +
            RemoteFileName(settings.RemotePath, "<YYMMDDhhmm>" + settings.LocationCode + ".TXT") + ")\n";
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
    const std::optional<std::string> view32 = RegCodeInView(registry, RegView::Bits32);
    const std::optional<std::string> view64 = RegCodeInView(registry, RegView::Bits64);
    const auto state = [](const std::optional<std::string>& value) {
        return !value ? std::string("no REGCODE") : value->empty() ? std::string("an empty REGCODE") : "a REGCODE";
    };
    std::string text = "32-bit view (HKLM\\" + std::string(kLocationSubkey) + " /reg:32): " + state(view32) + "\n";
    text += "64-bit view (HKLM\\" + std::string(kLocationSubkey) + " /reg:64): " + state(view64) + "\n";
    const std::optional<std::string>& read = view32 ? view32 : view64;
    if (!read || read->empty()) {
        return text + "Quendrel finds no settings and will not start: import a location.reg with "
                      "reg import location.reg /reg:32\n";
    }
    text += std::string("Quendrel reads the ") + (view32 ? "32-bit" : "64-bit") + " view:\n\n";
    return text + DescribeSettings(ParseSettingsText(DecodeRegCode(*read)));
}

}  // namespace quendrel::makereg
