#pragma once
// Making a location's location.reg: the five settings, encoded the way the
// program decodes REGCODE, as a REGEDIT4 file.
#include <optional>
#include <string>

#include "config/location_settings.h"

namespace quendrel::makereg {

// The settings text "h=..;u=..;p=..;r=..;l=..;" for the five settings.
std::string SettingsText(const LocationSettings& settings);

// REGCODE for a settings text: the text written backwards, each character
// as two upper-case hexadecimal digits.
std::string EncodeRegCode(const std::string& settingsText);

// Why a setting cannot be carried by the format (";" ends a pair, "=" is
// dropped when read, a line end breaks the file), or nothing when it can. `what` names the setting.
std::optional<std::string> RefuseValue(const std::string& what, const std::string& value);

// Why these settings would make a location that cannot work (no FTP host or
// one Quendrel cannot read, no location code, or a location code that no file
// name can hold), or
// nothing when they are fine.
std::optional<std::string> RefuseSettings(const LocationSettings& settings);

// The complete location.reg text, lines ending in CR LF.
std::string LocationRegFile(const std::string& regCode);

}  // namespace quendrel::makereg
