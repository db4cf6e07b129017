#include "makereg/location_reg.h"

#include "platform/ftp_client.h"

namespace quendrel::makereg {

std::string SettingsText(const LocationSettings& settings) {
    return "h=" + settings.FtpHost + ";u=" + settings.FtpUser + ";p=" + settings.FtpPassword +
           ";r=" + settings.RemotePath + ";l=" + settings.LocationCode + ";";
}

std::string EncodeRegCode(const std::string& settingsText) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(settingsText.size() * 2);
    for (auto it = settingsText.rbegin(); it != settingsText.rend(); ++it) {
        const auto code = static_cast<unsigned char>(*it);
        hex.push_back(kDigits[code >> 4]);
        hex.push_back(kDigits[code & 0x0F]);
    }
    return hex;
}

std::optional<std::string> RefuseValue(const std::string& what, const std::string& value) {
    for (char c : value) {
        if (c == ';' || c == '=') {
            return "The " + what + " \"" + value + "\" holds \"" + std::string(1, c) +
                   "\", which a location.reg cannot carry: \";\" ends a setting and \"=\" is dropped "
                   "when Quendrel reads it. Choose a value without \";\" and \"=\".";
        }
    }
    if (value.find_first_of("\r\n") != std::string::npos) {
        return "The " + what + " holds a line break, which a location.reg cannot carry.";
    }
    return std::nullopt;
}

std::optional<std::string> RefuseSettings(const LocationSettings& settings) {
    if (settings.FtpHost.empty()) return std::string("The FTP host is empty: the location's uploads would have no server.");
    if (!ParseFtpHost(settings.FtpHost)) {
        return "The FTP host \"" + settings.FtpHost +
               "\" is not a host name with an optional \":port\" (1 to 65535): Quendrel would refuse every upload.";
    }
    if (settings.LocationCode.empty()) {
        return std::string("The location code is empty: scans and batch files would not say which location they are from.");
    }
    if (!FitsInFileName(settings.LocationCode)) {
        return "The location code \"" + settings.LocationCode +
               "\" holds a character that a file name cannot hold (\\ / : * ? \" < > |); "
               "upload batch files are named after it.";
    }
    return std::nullopt;
}

namespace {

// A string as regedit reads it between double quotes.
std::string RegString(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted.push_back('\\');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

}  // namespace

std::string LocationRegFile(const std::string& regCode) {
    const std::string crlf = "\r\n";
    return "REGEDIT4" + crlf + crlf + "[HKEY_LOCAL_MACHINE\\" + kLocationSubkey + "]" + crlf +
           RegString(kLocationValueName) + "=" + RegString(regCode) + crlf + crlf;
}

}  // namespace quendrel::makereg
