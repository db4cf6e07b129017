#include "config/regcode.h"

#include <algorithm>

#include "platform/sha256.h"
#include "platform/text.h"

namespace quendrel {

std::string SettingsText(const LocationSettings& settings) {
    std::string text = "h=" + settings.FtpHost + ";u=" + settings.FtpUser + ";p=" + settings.FtpPassword +
                       ";r=" + settings.RemotePath + ";l=" + settings.LocationCode + ";";
    // Only where set, so that a plain location's REGCODE is as it always was.
    if (!settings.FtpTls.empty()) text += "t=" + settings.FtpTls + ";";
    if (!settings.ServerKeyPin.empty()) text += "k=" + settings.ServerKeyPin + ";";
    return text;
}

std::string SettingsCheck(const std::string& settingsText) {
    const Sha256Digest digest = Sha256Of(settingsText);
    return HexDigits(std::string(digest.begin(), digest.begin() + 4), HexCase::Lower);
}

std::string CheckedSettingsText(const LocationSettings& settings) {
    const std::string text = SettingsText(settings);
    const std::string pair = std::string(kCheckKey) + "=" + SettingsCheck(text) + ";";
    return pair + text + pair;
}

std::string EncodeRegCode(const std::string& settingsText) {
    return HexDigits(std::string(settingsText.rbegin(), settingsText.rend()));
}

Status CheckEncodable(const std::string& what, const std::string& value) {
    const auto found = value.find_first_of(";=");
    if (found == std::string::npos) return Status::Ok();
    return Status::Failed("The " + what + " \"" + value + "\" holds \"" + value[found] +
                          "\", which a location.reg cannot carry: \";\" ends a setting and \"=\" is dropped "
                          "when Quendrel reads it. Choose a value without \";\" and \"=\".");
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSkippedBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// A pair of digits read as hex: blanks skipped, stops at the first other
// character that is not a digit; nothing readable gives 0.
unsigned char ReadHexPair(const std::string& pair) {
    int value = 0;
    for (char c : pair) {
        if (IsSkippedBlank(c)) continue;
        int digit = HexDigit(c);
        if (digit < 0) break;
        value = value * 16 + digit;
    }
    return static_cast<unsigned char>(value);
}

// Half the length, rounded to the nearest whole number, halves to even.
std::size_t PairCount(std::size_t length) {
    std::size_t half = length / 2;
    if (length % 2 == 1 && half % 2 == 1) ++half;
    return half;
}

}  // namespace

std::string HexToText(const std::string& hex) {
    std::string text;
    const std::size_t pairs = PairCount(hex.size());
    for (std::size_t i = 0; i < pairs; ++i) {
        text.push_back(static_cast<char>(ReadHexPair(hex.substr(2 * i, 2))));
    }
    return text;
}

Setting NextSetting(std::string& settingsText) {
    Setting setting;
    bool inValue = false;
    std::size_t i = 0;
    for (; i < settingsText.size(); ++i) {
        const char c = settingsText[i];
        if (c == ';') break;
        if (c == '=') {
            inValue = true;
        } else {
            (inValue ? setting.value : setting.key).push_back(c);
        }
    }
    settingsText = i < settingsText.size() ? settingsText.substr(i + 1) : std::string();
    return setting;
}

std::string DecodeRegCode(const std::string& encoded) {
    std::string text = HexToText(encoded);
    std::reverse(text.begin(), text.end());
    return text;
}

LocationSettings ParseSettingsText(std::string settingsText) {
    LocationSettings settings;
    while (!settingsText.empty()) {
        Setting s = NextSetting(settingsText);
        if (s.key == "h") settings.FtpHost = s.value;
        else if (s.key == "u") settings.FtpUser = s.value;
        else if (s.key == "p") settings.FtpPassword = s.value;
        else if (s.key == "r") settings.RemotePath = s.value;
        else if (s.key == "l") settings.LocationCode = s.value;
        else if (s.key == "t") settings.FtpTls = s.value;
        else if (s.key == "k") settings.ServerKeyPin = s.value;
    }
    return settings;
}

}  // namespace quendrel
