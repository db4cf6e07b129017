#pragma once
// A check of a PC without a scan: whether an upload from here would work,
// and which of the account's rights that the upload relies on are there.
// It logs in, stores a small file whose name does not end in ".TXT" (no
// importer takes it), and asks for its size, lists the folder, renames and
// deletes it.
#include <chrono>
#include <string>

#include "config/location_settings.h"
#include "platform/files.h"
#include "platform/ftp_session.h"

namespace quendrel {

struct ServerCheck {
    std::string report;  // for the location's IT person, lines ending in "\n"
    bool uploadWouldWork = false;
};

// `workingFolder` names the folder whose savedata.dat holds the pending scans.
ServerCheck CheckServer(const LocationSettings& settings, IFileSystem& files, const std::string& workingFolder,
                        std::chrono::seconds silenceBound = kFtpSilenceBound);

}  // namespace quendrel
