#pragma once
// The check the program applies to a location's settings before it uses them,
// for the targets that feed it decoded settings. Empty when they are accepted.
#include <string>

#include "config/location_settings.h"
#include "upload/send_data_command.h"

inline std::string SettingsRefusal(const quendrel::LocationSettings& settings) {
    return quendrel::UnsafeSettingsMessage(settings);
}
