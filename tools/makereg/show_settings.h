#pragma once
// What a REGCODE holds, in words an IT person reads, decoded by the
// program's own decoder; the password is never shown, only whether it is set.
#include <string>

#include "config/location_settings.h"
#include "platform/registry.h"
#include "platform/status.h"

namespace quendrel::makereg {

// A value as shown: "(empty)" for none.
std::string Shown(const std::string& value);
// The FTP server as host:port, however the setting gives it.
std::string ServerShown(const std::string& host);
// Where a batch of these settings goes on the server.
std::string BatchPlace(const LocationSettings& settings);

// The settings line by line, and whether Quendrel can work with them.
std::string DescribeSettings(const LocationSettings& settings);
// The REGCODE that a location.reg file sets; fails when the text is no such file.
Status RegCodeOfRegFile(const std::string& regFile, std::string& regCode);
// What a REGCODE holds, in `description`; fails when it is damaged (with no
// description then) or Quendrel cannot start and send with it.
Status DescribeRegCode(const std::string& regCode, std::string& description);
// What each registry view of this PC holds, and which one Quendrel reads;
// `usable` as DescribeRegCode tells of that one.
std::string DescribeRegistry(IRegistry& registry, Status& usable);

}  // namespace quendrel::makereg
