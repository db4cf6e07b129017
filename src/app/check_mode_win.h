#pragma once
// Quendrel.exe /check [/quiet]: checks the PC without a scan (see
// upload/server_check.h) and tells the result in a message box, or with
// /quiet on standard output only, for scripts; the exit code is 0 when an
// upload would work and 1 otherwise.
#include "platform/files.h"
#include "platform/registry.h"

namespace quendrel {

struct CheckRequest {
    bool wanted = false;
    bool quiet = false;
};
// The command line's words /check and /quiet (or -check, -quiet), in any case.
CheckRequest CheckRequested(const char* commandLine);
// Runs the check on this thread; returns the exit code.
int RunCheck(IRegistry& registry, IFileSystem& files, bool quiet);

}  // namespace quendrel
