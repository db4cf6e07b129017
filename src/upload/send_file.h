#pragma once
#include <string>

#include "config/location_settings.h"
#include "platform/ftp_client.h"

namespace quendrel {

// RemotePath followed at once by the file name; no separator added or removed.
std::string RemoteFileName(const std::string& remotePath, const std::string& fileName);

// Uploads one file of the working directory over a connection of its own:
// account settings, connect, wait until up, put, disconnect. A failing step
// ends it at once (no disconnect) and its description is returned.
FtpStatus SendFile(IFtpClient& ftp, const LocationSettings& settings, const std::string& fileName);

}  // namespace quendrel
