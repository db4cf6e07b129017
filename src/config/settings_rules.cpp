#include "config/settings_rules.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "config/regcode.h"
#include "platform/text.h"
#include "product.h"

namespace quendrel {

namespace {

bool IsDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::optional<std::uint16_t> ParsePort(const std::string& text) {
    if (text.size() > 5 || !IsDigits(text)) return std::nullopt;
    const long port = std::stol(text);
    if (port < 1 || port > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(port);
}

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A character as a message shows it: in quotation marks, or by its name.
std::string CharacterNamed(char c) {
    if (c == ' ') return "a blank";
    if (c == '\t') return "a tab";
    if (c == '\r' || c == '\n') return "a line break";
    const auto code = static_cast<unsigned char>(c);
    if (code < 32 || code == 127) return "the control character " + HexDigits({&c, 1});
    return "\"" + std::string(1, c) + "\"";
}

// Control characters (line ends among them) and \ / : * ? " < > | cannot
// stand in a Windows file name.
bool HasFileNameForbiddenCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c < 32 || std::string("\\/:*?\"<>|").find(ch) != std::string::npos;
    });
}

// Hex digits and colons, with a dotted IPv4 tail allowed: what goes between
// the brackets of an IPv6 address.
bool IsIpv6Address(const std::string& text) {
    return std::count(text.begin(), text.end(), ':') >= 2 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; });
}

// Labels of letters, digits and hyphens between single dots; a name of
// numbers only is a dotted IPv4 address of four numbers up to 255.
bool IsHostNameOrIpv4(const std::string& text) {
    std::vector<std::string> labels(1);
    for (const char c : text) {
        if (c == '.') {
            labels.emplace_back();
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') {
            labels.back() += c;
        } else {
            return false;
        }
    }
    if (std::any_of(labels.begin(), labels.end(), [](const std::string& label) { return label.empty(); })) return false;
    if (!std::all_of(labels.begin(), labels.end(), IsDigits)) return true;
    return labels.size() == 4 && std::all_of(labels.begin(), labels.end(), [](const std::string& label) {
               return label.size() <= 3 && std::stoi(label) <= 255;
           });
}

// A hint for the usual slips, in a few words.
std::string HostHint(const std::string& text) {
    if (!text.empty() && (IsBlank(text.front()) || IsBlank(text.back()))) return " Remove the blank at its start or end.";
    if (text.find_first_of("/\\") != std::string::npos) return " A folder goes in the remote path, not here.";
    if (text.find('@') != std::string::npos) return " The user goes in the user setting, not here.";
    if (text.find_first_of(", ") != std::string::npos) return " A port follows the host after a colon: host:2121.";
    if (text.find(':') != text.rfind(':') && text.front() != '[') return " An IPv6 address goes in brackets: [2001:db8::1]:21.";
    return "";
}
}  // namespace

Status CheckFtpHost(const std::string& ftpHost) {
    if (ParseFtpHost(ftpHost)) return Status::Ok();
    return Status::Failed("The FTP server \"" + ftpHost + "\" is neither a host name (letters, digits, hyphens and "
                          "dots) nor a dotted IPv4 address nor an IPv6 address in brackets, each with an optional "
                          "\":port\" (1 to 65535)." + HostHint(ftpHost));
}

std::optional<FtpEndpoint> ParseFtpHost(const std::string& ftpHost) {
    std::string host = ftpHost;
    std::string port;
    if (!host.empty() && host.front() == '[') {
        const auto close = host.find(']');
        if (close == std::string::npos) return std::nullopt;
        if (close + 1 < host.size()) {
            if (host[close + 1] != ':') return std::nullopt;
            port = host.substr(close + 2);
            if (port.empty()) return std::nullopt;
        }
        host = host.substr(1, close - 1);
        if (!IsIpv6Address(host)) return std::nullopt;
    } else {
        const auto colon = host.find(':');
        if (colon != std::string::npos) {
            port = host.substr(colon + 1);
            host.erase(colon);
            if (port.empty()) return std::nullopt;
        }
        if (!IsHostNameOrIpv4(host)) return std::nullopt;
    }
    if (port.empty()) return FtpEndpoint{host, kDefaultFtpPort};
    const auto number = ParsePort(port);
    if (!number) return std::nullopt;
    return FtpEndpoint{host, *number};
}

Status CheckLocationSettings(const LocationSettings& settings, EmptySettings empty) {
    const std::string& code = settings.LocationCode;
    if (HasFileNameForbiddenCharacter(code)) {
        return Status::Failed("The location code holds a character that a file name cannot hold (a line break or "
                              "other control character, or one of \\ / : * ? \" < > |); upload batch files are "
                              "named after it.");
    }
    if (code.find_first_of(" \t") != std::string::npos) {
        return Status::Failed("The location code \"" + code + "\" holds a blank, which would stand unseen in every "
                              "scan and in every batch's name: remove the blank.");
    }
    if (!code.empty() && code.back() == '.') {
        return Status::Failed("The location code \"" + code + "\" ends in \".\", which Windows drops from a file's "
                              "name: remove it.");
    }
    if (code.empty() && empty == EmptySettings::AllNeeded) {
        return Status::Failed("The location code is not set: scans would carry none, and batches would be named "
                              "without it.");
    }
    if (code.size() > kMaxLocationCodeLength) {
        return Status::Failed("The location code is " + std::to_string(code.size()) +
                              " characters long; upload batch files are named after it, and a file name has "
                              "room for " + std::to_string(kMaxLocationCodeLength) + " at most.");
    }
    if (settings.FtpHost.empty()) {
        if (empty != EmptySettings::Allowed)
            return Status::Failed("The FTP server is not set: uploads would have nowhere to go.");
    } else {
        const Status host = CheckFtpHost(settings.FtpHost);
        if (!host.ok()) return host;
    }
    if (HasLineBreak(settings.RemotePath)) return Status::Failed("The remote path holds a line break.");
    if (HasLineBreak(settings.FtpUser)) return Status::Failed("The FTP user holds a line break.");
    if (HasLineBreak(settings.FtpPassword)) return Status::Failed("The FTP password holds a line break.");
    if (!settings.FtpTls.empty() && settings.FtpTls != kTlsRequired) {
        return Status::Failed("The TLS setting (t) is \"" + settings.FtpTls +
                              "\": it must be 1 for FTP over TLS, or empty for plain FTP.");
    }
    if (!settings.ServerKeyPin.empty()) {
        if (CurlPinnedKey(settings.ServerKeyPin).empty()) {
            return Status::Failed("The server key pin (k) is \"" + settings.ServerKeyPin +
                                  "\": it must be the SHA-256 of the FTP server's public key, " +
                                  std::to_string(kServerKeyPinLength) + " hexadecimal digits.");
        }
        if (settings.FtpTls != kTlsRequired)
            return Status::Failed("The server key pin (k) is set, but TLS (t) is not: a pin needs FTP over TLS.");
    }
    return Status::Ok();
}

std::string MissingSettingsWarning(const LocationSettings& settings) {
    std::string missing;
    if (settings.LocationCode.empty())
        missing += "This PC's location settings have no location code: scans will carry none, and batches will "
                   "be named without it. ";
    if (settings.FtpHost.empty())
        missing += "They name no FTP server: scans are recorded, but none can be sent. ";
    if (missing.empty()) return missing;
    return missing + "Import a corrected location.reg for this location (ask " QUENDREL_VENDOR " "
                     QUENDREL_VENDOR_TELEPHONE "), then start Quendrel again.";
}

Status CheckSettingsBeforeUpload(const LocationSettings& settings) {
    const Status checked = CheckLocationSettings(settings, EmptySettings::FtpHostNeeded);
    if (checked.ok()) return checked;
    return Status::Failed(checked.description + " Nothing was sent. Ask " QUENDREL_VENDOR
                          " for a corrected location.reg file for this location.");
}

Status CheckRegCode(const std::string& encoded) {
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (std::isxdigit(static_cast<unsigned char>(c))) continue;
        const std::string where = "The REGCODE holds " + CharacterNamed(c) + " at its character " + std::to_string(i + 1) +
                                  ", which is no hexadecimal digit";
        if (c == '"' || c == '\'')
            return Status::Failed(where + ": it was stored with its quotation marks. Store the digits alone (for the "
                                          "package: REGCODE=<digits>).");
        if (IsBlank(c)) return Status::Failed(where + ": remove the blank, a REGCODE is one unbroken run of digits.");
        return Status::Failed(where + " (0 to 9, A to F): it was mistyped, or is no REGCODE.");
    }
    if (encoded.size() % 2 != 0) {
        return Status::Failed("The REGCODE has an odd number of digits (" + std::to_string(encoded.size()) +
                              "): a digit was lost or added when it was copied.");
    }
    const std::string text = DecodeRegCode(encoded);
    if (std::any_of(text.begin(), text.end(), [](unsigned char c) { return c < 32 || c == 127; })) {
        return Status::Failed("The REGCODE decodes to a control character, which no location's settings hold: it "
                              "was mistyped, or is no REGCODE.");
    }
    // Check pairs: none, or one first and one last that match what lies between.
    std::vector<std::string> checks;
    std::string rest = text, firstKey, lastKey;
    std::size_t afterFirst = 0, beforeLast = 0;
    while (!rest.empty()) {
        const std::size_t at = text.size() - rest.size();
        const Setting pair = NextSetting(rest);
        if (at == 0) {
            firstKey = pair.key;
            afterFirst = text.size() - rest.size();
        }
        lastKey = pair.key;
        beforeLast = at;
        if (pair.key == kCheckKey) checks.push_back(pair.value);
    }
    if (checks.empty()) return Status::Ok();
    const bool matches = checks.size() == 2 && firstKey == kCheckKey && lastKey == kCheckKey && checks[0] == checks[1] &&
                         afterFirst <= beforeLast &&
                         checks[0] == SettingsCheck(text.substr(afterFirst, beforeLast - afterFirst));
    if (matches) return Status::Ok();
    return Status::Failed("The REGCODE's check does not match its settings: digits were lost at its start or end, or "
                          "changed, when it was copied.");
}

Status LoadSettingsAtStartUp(IRegistry& registry, LocationSettings& settings) {
    const std::optional<FoundRegCode> found = FindRegCode(registry);
    if (!found || found->text.empty()) return Status::Failed(kMissingLocationMessage);
    Status checked = CheckRegCode(found->text);
    const LocationSettings loaded = ParseSettingsText(DecodeRegCode(found->text));
    if (checked.ok()) checked = CheckLocationSettings(loaded, EmptySettings::Allowed);
    if (!checked.ok()) {
        return Status::Failed("This PC's location settings are damaged. " + checked.description +
                              " Quendrel cannot work with them. Ask " QUENDREL_VENDOR " " QUENDREL_VENDOR_TELEPHONE
                              " for a corrected location.reg file for this location.");
    }
    settings = loaded;
    return checked;
}


std::string CurlPinnedKey(const std::string& serverKeyPin) {
    if (serverKeyPin.size() != kServerKeyPinLength ||
        !std::all_of(serverKeyPin.begin(), serverKeyPin.end(), [](unsigned char c) { return std::isxdigit(c); }))
        return {};
    std::string bytes;
    for (std::size_t i = 0; i < serverKeyPin.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(serverKeyPin.substr(i, 2), nullptr, 16)));
    static const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded = "sha256//";
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (left > 1) group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (left > 2) group |= static_cast<unsigned char>(bytes[i + 2]);
        encoded += kBase64[(group >> 18) & 63];
        encoded += kBase64[(group >> 12) & 63];
        encoded += left > 1 ? kBase64[(group >> 6) & 63] : '=';
        encoded += left > 2 ? kBase64[group & 63] : '=';
    }
    return encoded;
}



}  // namespace quendrel
