#pragma once
// The check the program applies to a location's settings before an upload,
// for the targets that feed it decoded settings. Empty when they are accepted.
#include <string>

#include "config/settings_rules.h"

inline std::string SettingsRefusal(const quendrel::LocationSettings& settings) {
    return quendrel::CheckSettingsBeforeUpload(settings).description;
}
