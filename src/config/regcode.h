#pragma once
// The REGCODE value, both ways: a location's settings as a settings text
// ("h=..;u=..;p=..;r=..;l=..;"), and that text as pairs of hexadecimal
// digits, the last character first.
#include <string>

#include "config/location_settings.h"
#include "platform/status.h"

namespace quendrel {

// What a REGCODE carries: "h=..;u=..;p=..;r=..;l=..;" for the five settings,
// then "t=..;" and "k=..;" where set.
std::string SettingsText(const LocationSettings& settings);
// What makereg writes: that text between two copies of its check pair
// "c=<check>;", the first pair and the last, so that a REGCODE that lost
// digits at either end, or had digits changed, no longer matches. Quendrel
// has always skipped a key it does not know, such as "c".
std::string CheckedSettingsText(const LocationSettings& settings);
inline constexpr const char* kCheckKey = "c";
// The check of a settings text: the first eight hexadecimal digits of its
// SHA-256.
std::string SettingsCheck(const std::string& settingsText);
// The REGCODE of a settings text.
std::string EncodeRegCode(const std::string& settingsText);
// Fails when the settings text cannot carry `value`: ";" ends a setting and
// "=" is dropped when read. `what` names the setting in the description.
Status CheckEncodable(const std::string& what, const std::string& value);

// Pairs of hexadecimal digits to the characters they encode.
std::string HexToText(const std::string& hex);
// The settings text that a REGCODE value stands for.
std::string DecodeRegCode(const std::string& encoded);

struct Setting {
    std::string key;
    std::string value;
};
// Takes the first "key=value;" pair off `settingsText`, leaving the rest in it.
Setting NextSetting(std::string& settingsText);
// The settings found in a settings text; unknown keys are skipped.
LocationSettings ParseSettingsText(std::string settingsText);

}  // namespace quendrel
