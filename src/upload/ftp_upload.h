#pragma once
// The FTP side of Send Data: puts one batch file of the working directory on
// the location's server so that an importer never sees it cut, and counts it
// as sent only on the server's proof.
//
// The batch goes under a temporary name of its own first (the final name
// with a suffix of this run's, which does not end in ".TXT"), and is renamed
// to its final name once the server has confirmed the store. A server that
// refuses the rename gets the batch under its final name instead. A name
// already on the server is never stored over: it may be another PC's batch
// that has not been collected yet.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "config/location_settings.h"
#include "platform/files.h"
#include "platform/ftp_session.h"
#include "platform/status.h"

namespace quendrel {

// RemotePath followed at once by the file name; no separator added or removed.
std::string RemoteFileName(const std::string& remotePath, const std::string& fileName);
// The folder part of a remote name, up to and with its last "/"; "" for none.
std::string RemoteFolder(const std::string& remoteName);
// The last part of a remote name ("/in/A.TXT" gives "A.TXT").
std::string RemoteLeafName(const std::string& remoteName);

// Eight hexadecimal digits, different for every run.
std::string NewRunTag();
// The name a batch is stored under until the server has confirmed it.
std::string TemporaryName(const std::string& remoteName, const std::string& runTag);
// True for the leaf name of a temporary batch file of this location: made by
// TemporaryName from a batch name of this location's, in a folder whose
// remote names start with `leafPrefix` (the last part of RemotePath).
bool IsTemporaryBatchName(const std::string& leaf, const std::string& leafPrefix, const std::string& locationCode);

// What the operator is told of a failed upload: the server as host:port, the
// user and the remote name tried, then the cause, and which setting to look
// at where that is known.
Status UploadFailure(const FtpOutcome& failed, const FtpServer& server, const std::string& remoteName);
// The refusal of a batch whose name the server already holds.
std::string NameTakenOnServerMessage(const std::string& fileName);
// The log line when the server refuses to rename.
inline constexpr const char* kNoRenameNote =
    "The FTP server does not rename files: the batch is stored under its final name.";

// What the upload tells while it runs; called on the thread that uploads.
class IUploadProgress {
public:
    virtual ~IUploadProgress() = default;
    virtual void Sent(std::uint64_t bytes, std::uint64_t total) = 0;
    // A line for the upload log.
    virtual void Note(const std::string& line) = 0;
    // The batch is sent, or why not; told once.
    virtual void Finished(const Status& outcome) = 0;
};

struct UploadLimits {
    std::chrono::seconds silenceBound = kFtpSilenceBound;
    // After a cancel, how long the removal of a partial file may take.
    std::chrono::seconds cleanupBound{5};
};

// The location's server as the transfer takes it; empty when its host is no
// server name with an optional port.
std::optional<FtpServer> FtpServerOf(const LocationSettings& settings);

// Sends the batch file `batchName` to the location's server under
// RemotePath followed by its name, and tells the outcome (a failure in what
// the operator is told) as soon as it is known. After a success it then
// removes, on the same connection, the temporary files that earlier uploads
// of the location left behind: a folder's listing can take long, so nobody
// waits for it.
void UploadBatch(const LocationSettings& settings, const std::string& batchName, IFileSystem& files,
                 const std::atomic<bool>& cancel, IUploadProgress& progress, const UploadLimits& limits = {},
                 const std::string& runTag = NewRunTag());

}  // namespace quendrel
