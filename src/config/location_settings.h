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

// The REGCODE text in one registry view (a number as its decimal text);
// empty when that view has none.
std::optional<std::string> RegCodeInView(IRegistry& registry, RegView view);
// The view the program reads REGCODE from: the 32-bit view, where the shipped
// 32-bit program looks by default, or, when that has none, the 64-bit view,
// where a location.reg imported by the 64-bit regedit lands.
struct FoundRegCode {
    RegView view;
    std::string text;
};
std::optional<FoundRegCode> FindRegCode(IRegistry& registry);
// Reads REGCODE from that view and decodes it.
// Empty when the location has no usable REGCODE: the program must refuse.
std::optional<LocationSettings> LoadLocationSettings(IRegistry& registry);

}  // namespace quendrel
