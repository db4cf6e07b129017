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
    const Status usable = CheckLocationSettings(settings, EmptySettings::AllNeeded);
    text += "Check:        " + (usable.ok() ? std::string("Quendrel can start and send with these settings.")
                                            : usable.description) +
            "\n";
    return text;
}

Status RegCodeOfRegFile(const std::string& regFile, std::string& regCode) {
    // As Windows writes them too: reg export and regedit give UTF-16 with a
    // byte-order mark ("Windows Registry Editor Version 5.00"), editors
    // often UTF-8 with one.
    std::string text = regFile;
    if (text.compare(0, 2, "\xFF\xFE") == 0) {
        std::string narrow;
        for (std::size_t i = 2; i + 1 < text.size(); i += 2)
            narrow += text[i + 1] == '\0' ? text[i] : '?';  // a REGCODE is ASCII; nothing else is read
        text = narrow;
    } else if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
    }
    const std::string start = std::string("\"") + kLocationValueName + "\"=\"";
    const auto from = text.find(start);
    const bool header = text.rfind("REGEDIT4", 0) == 0 || text.rfind("Windows Registry Editor Version 5.00", 0) == 0;
    if (!header || from == std::string::npos)
        return Status::Failed("This is not a location.reg: it sets no " + std::string(kLocationValueName) + ".");
    const auto begin = from + start.size();
    const auto end = text.find('"', begin);
    if (end == std::string::npos) return Status::Failed("The REGCODE line of this location.reg is cut short.");
    regCode = text.substr(begin, end - begin);
    return Status::Ok();
}

Status DescribeRegCode(const std::string& regCode, std::string& description) {
    const Status intact = CheckRegCode(regCode);
    if (!intact.ok()) return intact;
    const LocationSettings settings = ParseSettingsText(DecodeRegCode(regCode));
    description = DescribeSettings(settings);
    return CheckLocationSettings(settings, EmptySettings::AllNeeded);
}

std::string DescribeRegistry(IRegistry& registry, Status& usable) {
    const auto state = [&](RegView view) {
        const std::optional<std::string> value = RegCodeInView(registry, view);
        return !value ? std::string("no REGCODE") : value->empty() ? std::string("an empty REGCODE") : "a REGCODE";
    };
    const std::string key = "(HKLM\\" + std::string(kLocationSubkey);
    std::string text = "32-bit view " + key + " /reg:32): " + state(RegView::Bits32) + "\n";
    text += "64-bit view " + key + " /reg:64): " + state(RegView::Bits64) + "\n";
    const std::optional<FoundRegCode> found = FindRegCode(registry);
    if (!found || found->text.empty()) {
        usable = Status::Failed("no settings");
        return text + "Quendrel finds no settings and will not start: import a location.reg with "
                      "reg import location.reg /reg:32\n";
    }
    const std::optional<std::string> other = RegCodeInView(registry, RegView::Bits64);
    if (found->view == RegView::Bits32 && other && !other->empty() && *other != found->text) {
        text += "The two views hold different REGCODEs: Quendrel reads the 32-bit one, and the 64-bit one is "
                "ignored. Delete the one that is not meant (reg delete HKLM\\" + std::string(kLocationSubkey) +
                " /v " + kLocationValueName + " /reg:64).\n";
    }
    text += std::string("Quendrel reads the ") + (found->view == RegView::Bits32 ? "32-bit" : "64-bit") + " view:\n\n";
    std::string settings;
    usable = DescribeRegCode(found->text, settings);
    if (settings.empty()) return text + "Damaged:      " + usable.description + "\n";
    return text + settings;
}

}  // namespace quendrel::makereg
