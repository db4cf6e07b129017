#pragma once
// The FTP side of Send Data: puts one batch file of the working directory on
// the location's server so that an importer never sees it cut, counts it as
// sent only on the server's proof, and never replaces a batch that is there,
// also when every PC of the location sends in the same minute.
//
// The PCs of a location meet only on the server, and the server decides:
//  - An upload first claims the batch's final name by making a folder named
//    after it (the claim, "<final name>.claim"): MKD fails where the name
//    exists, so that only one PC at a time holds a name. Where the account
//    may not make folders, the final name is checked again just before the
//    rename instead, which leaves a moment in which two PCs can meet.
//  - It checks that no file of the final name is there, stores the batch
//    under a temporary name of this PC's (the final name, ".", this PC's tag
//    and ".part"), and renames it to its final name once the server has
//    confirmed the store. A server that refuses the rename gets the batch
//    under its final name instead.
//  - It releases the claim, and removes only what is provably a leftover:
//    temporary files that carry this PC's tag, names this PC could not
//    remove before, and claims more than an hour older than its batch.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
// Eight hexadecimal digits that stand for one PC and working folder, the
// same for every upload from there.
std::string UploaderTag(const std::string& computerName, const std::string& workingFolder);
// The name a batch is stored under until the server has confirmed it.
std::string TemporaryName(const std::string& remoteName, const std::string& uploaderTag);
// The folder that holds a batch's final name while one PC uploads it.
std::string ClaimName(const std::string& remoteName);

// A name that an upload of this location leaves beside its batch while it
// runs, known by its leaf name in a folder whose remote names start with
// `leafPrefix` (the last part of RemotePath).
struct UploadLeftover {
    enum class Kind { Temporary, Claim };
    Kind kind = Kind::Temporary;
    std::string minute;  // the batch's YYMMDDhhmm
    std::string tag;     // a temporary file's: the PC that stored it
};
std::optional<UploadLeftover> ParseUploadLeftover(const std::string& leaf, const std::string& leafPrefix,
                                                  const std::string& locationCode);
// Minutes from the first YYMMDDhhmm to the second; empty for a text that is
// no such minute.
std::optional<long> MinutesBetween(const std::string& earlier, const std::string& later);

// What the operator is told of a failed upload: the server as host:port, the
// user and the remote name tried, then the cause, and which setting to look
// at where that is known.
Status UploadFailure(const FtpOutcome& failed, const FtpServer& server, const std::string& remoteName);
// The refusal of a batch whose name the server already holds, or another
// PC holds while it uploads a batch of that name.
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
    // The batch is sent, or why not; told once. `nameTaken`: refused
    // because the batch's name is taken on the server, so that a batch of
    // the next minute's name may go.
    virtual void Finished(const Status& outcome, bool nameTaken) = 0;
};

struct UploadLimits {
    std::chrono::seconds silenceBound = kFtpSilenceBound;
    // After a cancel, how long the removal of a partial file may take.
    std::chrono::seconds cleanupBound{2};
};

// The location's server as the transfer takes it; empty when its host is no
// server name with an optional port.
std::optional<FtpServer> FtpServerOf(const LocationSettings& settings);

// This PC's side of every upload: the tag of its temporary files, and the
// names on the server that its uploads could not remove because the
// connection went first, which a later upload removes. One upload at a time
// uses it.
struct Uploader {
    std::string tag = NewRunTag();
    std::vector<std::string> leftFiles{};
    std::vector<std::string> leftFolders{};
};

// Sends the batch file `batchName` to the location's server under
// RemotePath followed by its name, and tells the outcome (a failure in what
// the operator is told) as soon as it is known. Then, on the same
// connection, it releases the claim and removes what earlier uploads of this
// PC left: a folder's listing can take long, so nobody waits for it.
void UploadBatch(const LocationSettings& settings, const std::string& batchName, IFileSystem& files,
                 const std::atomic<bool>& cancel, IUploadProgress& progress, Uploader& uploader,
                 const UploadLimits& limits = {});

}  // namespace quendrel
