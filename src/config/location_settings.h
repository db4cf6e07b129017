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
// Reads REGCODE (32-bit view first, then the 64-bit view) and decodes it.
// Empty when the location has no usable REGCODE: the program must refuse.
std::optional<LocationSettings> LoadLocationSettings(IRegistry& registry);

}  // namespace quendrel
