#pragma once
#include <optional>
#include <string>

#include "platform/registry.h"
#include "product.h"

namespace quendrel {

// The per-location settings, exactly as decoded from REGCODE.
struct LocationSettings {
    std::string FtpHost;
    std::string FtpUser;
    std::string FtpPassword;
    std::string RemotePath;
    std::string LocationCode;
    // Optional, for FTP over TLS: "1" requires TLS ("t"); the SHA-256 of the
    // server's public key, 64 hexadecimal digits, pins the server ("k").
    std::string FtpTls{};
    std::string ServerKeyPin{};
};

inline constexpr const char* kLocationSubkey = QUENDREL_SETTINGS_KEY;
inline constexpr const char* kLocationValueName = QUENDREL_SETTINGS_VALUE;
inline constexpr const char* kMissingLocationMessage =
    "You need to run the location.reg file for this location on this PC or get a "
    "location.reg file from " QUENDREL_VENDOR " " QUENDREL_VENDOR_TELEPHONE;

// Pairs of hexadecimal digits to the characters they encode.
std::string HexToText(const std::string& hex);

struct Setting {
    std::string key;
    std::string value;
};
// Takes the first "key=value;" pair off `settingsText`, leaving the rest in it.
Setting NextSetting(std::string& settingsText);

// The settings text that a REGCODE value stands for (hex pairs, reversed).
std::string DecodeRegCode(const std::string& encoded);
// The settings found in a settings text; unknown keys are skipped.
LocationSettings ParseSettingsText(std::string settingsText);

// The REGCODE text in one registry view (a number as its decimal text);
// empty when that view has none.
std::optional<std::string> RegCodeInView(IRegistry& registry, RegView view);
// Reads REGCODE (32-bit view first, then the 64-bit view) and decodes it.
// Empty when the location has no usable REGCODE: the program must refuse.
std::optional<LocationSettings> LoadLocationSettings(IRegistry& registry);

}  // namespace quendrel
