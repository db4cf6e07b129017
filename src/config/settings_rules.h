#pragma once
// The rules a location's settings must meet, and the messages that name a
// broken one, in one place: the program checks the decoded settings at
// start-up and before each upload, and makereg checks what it writes into a
// location.reg, so that the two accept exactly the same settings.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/location_settings.h"
#include "platform/status.h"
#include "product.h"

namespace quendrel {

// Server address of an FtpHost setting: a host name (letters, digits,
// hyphens and dots, no empty label), a dotted IPv4 address or an IPv6 address
// in brackets, each with an optional ":port" (1 to 65535); port 21 when none
// is given. The program and makereg take the same hosts.
struct FtpEndpoint {
    std::string host;
    std::uint16_t port = 21;
};
inline constexpr std::uint16_t kDefaultFtpPort = 21;
// Empty when the text names no usable host and port.
std::optional<FtpEndpoint> ParseFtpHost(const std::string& ftpHost);
// Fails with a description that names the value and the forms expected.
Status CheckFtpHost(const std::string& ftpHost);

// Batch files are named after the minute they are made (YYMMDDhhmm), the
// location code and ".TXT"; a file name holds at most 255 characters.
inline constexpr std::size_t kBatchTimestampLength = 10;
inline constexpr std::string_view kBatchExtension = ".TXT";
inline constexpr std::size_t kMaxLocationCodeLength = 255 - kBatchTimestampLength - kBatchExtension.size();

// At start-up a location may scan before its server exists; an upload needs
// the FTP server; a location.reg made for use needs its location code too.
enum class EmptySettings { Allowed, FtpHostNeeded, AllNeeded };

// Fails with a description that names the first setting that breaks a rule:
// the location code must fit in a file name, the FTP server must be "host" or
// "host:port" (1 to 65535), no setting may hold a line break (it would
// split a record line, or reach the FTP server as a command of its own), TLS
// is empty or "1", and a server key pin is 64 hexadecimal digits, with TLS.
Status CheckLocationSettings(const LocationSettings& settings, EmptySettings empty);

// The FtpTls value that asks for FTP over TLS.
inline constexpr const char* kTlsRequired = "1";
inline constexpr std::size_t kServerKeyPinLength = 64;  // SHA-256, in hexadecimal digits
// The pin as libcurl takes it: "sha256//" and the digest in base64. Empty
// for a text that is no pin.
std::string CurlPinnedKey(const std::string& serverKeyPin);

// A REGCODE before it is decoded: fails, naming what is wrong, where it
// holds anything but pairs of hexadecimal digits, decodes to a character no
// settings text holds (a control character), or carries check pairs (see
// CheckedSettingsText) that do not match its settings. One without check
// pairs is read as it always was.
Status CheckRegCode(const std::string& encoded);

// Start-up with settings that lack the location code or the FTP server: the
// program starts, but the operator is told first what is missing and what
// it means. Empty when nothing is missing.
std::string MissingSettingsWarning(const LocationSettings& settings);

// Before an upload: fails with the message for the operator.
Status CheckSettingsBeforeUpload(const LocationSettings& settings);
inline constexpr const char* kMissingLocationMessage =
    "You need to run the location.reg file for this location on this PC or get a "
    "location.reg file from " QUENDREL_VENDOR " " QUENDREL_VENDOR_TELEPHONE;
// Start-up: reads and checks the settings (empty ones allowed). Fails with the
// message to show before the program ends when REGCODE is missing or damaged.
Status LoadSettingsAtStartUp(IRegistry& registry, LocationSettings& settings);

}  // namespace quendrel
