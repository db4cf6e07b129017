#include "upload/server_check.h"

#include <atomic>
#include <optional>
#include <vector>

#include "config/settings_rules.h"
#include "scan/scan_record.h"
#include "upload/ftp_upload.h"
#include "upload/upload_batch.h"

namespace quendrel {

namespace {

constexpr const char kProbeContents[] = "Quendrel checks that it may store here; this file is deleted again.\r\n";

std::string Answer(const FtpOutcome& outcome) {
    return outcome.status.ok() ? "yes" : "no (" + outcome.status.description + ")";
}

std::string PendingScans(IFileSystem& files, const std::string& workingFolder, const std::string& locationCode) {
    std::string records;
    if (!files.Exists(kSaveDataFile)) return "Pending scans: none (no " + std::string(kSaveDataFile) + " in " + workingFolder + ").\n";
    if (!files.ReadAll(kSaveDataFile, records).ok())
        return "Pending scans: " + std::string(kSaveDataFile) + " in " + workingFolder + " cannot be read.\n";
    std::string line = "Pending scans: " + std::to_string(CountRecordLines(records)) + " in " + kSaveDataFile + " in " +
                       workingFolder + ".\n";
    const OtherLocationRecords other = RecordsOfOtherLocations(records, locationCode);
    if (other.count != 0) line += "Warning: " + OtherLocationMessage(other, locationCode) + "\n";
    return line;
}

}  // namespace

ServerCheck CheckServer(const LocationSettings& settings, IFileSystem& files, const std::string& workingFolder,
                        std::chrono::seconds silenceBound) {
    ServerCheck check;
    std::string& report = check.report;
    report = "Quendrel's check of this PC for location " + (settings.LocationCode.empty() ? "(no code)" : settings.LocationCode) + "\n";
    report += PendingScans(files, workingFolder, settings.LocationCode);

    const Status usable = CheckSettingsBeforeUpload(settings);
    const std::optional<FtpServer> found = FtpServerOf(settings);
    if (!usable.ok() || !found) {
        report += "Settings: " + usable.description + "\nResult: no upload can work with these settings.\n";
        return check;
    }
    const FtpServer& server = *found;
    const std::atomic<bool> never{false};
    FtpSession session(server, silenceBound, never);
    report += "Server: " + session.ServerName() + ", user \"" + settings.FtpUser + "\", " +
              (server.tls ? server.pinnedKey.empty() ? "FTP over TLS" : "FTP over TLS to the pinned key" : "plain FTP") +
              ", remote path \"" + settings.RemotePath + "\".\n";

    const std::string probe = RemoteFileName(settings.RemotePath, "quendrel-check." + NewRunTag());
    const FtpOutcome login = session.Commands({"NOOP"});
    report += "Login: " + Answer(login) + "\n";
    if (!login.status.ok()) {
        report += "Result: an upload would fail. " + UploadFailure(login, server, probe).description + "\n";
        return check;
    }
    TextReader contents(kProbeContents);
    bool began = false;
    const FtpOutcome stored = session.Store(probe, contents, sizeof kProbeContents - 1, began, [](std::uint64_t) {});
    report += "Store a file (" + probe + "): " + Answer(stored) + "\n";
    if (!stored.status.ok()) {
        report += "Result: an upload would fail. " + UploadFailure(stored, server, probe).description + "\n";
        return check;
    }

    std::optional<std::uint64_t> size;
    const FtpOutcome sized = session.Size(probe, size);
    const bool sizeKnown = sized.status.ok() && size == sizeof kProbeContents - 1;
    report += "Ask a file's size (SIZE): " + (sizeKnown ? std::string("yes") : sized.status.ok() ? "no answer" : Answer(sized)) + "\n";
    // Over TLS an upload lists only where SIZE gives no answer (a listing
    // there may hang on Windows), and so does the check.
    std::vector<std::string> names;
    bool seen = false;
    const bool listingNeeded = !server.tls || !sizeKnown;
    const FtpOutcome listed = listingNeeded ? session.ListNames(RemoteFolder(probe), names) : FtpOutcome{};
    for (const std::string& name : names) seen |= name == RemoteLeafName(probe);
    if (!listingNeeded) {
        report += "List the folder: not tried over TLS, where SIZE answers. Without a listing Quendrel does not find "
                  "what its interrupted uploads left on the server (files ending in .part): they stay until the "
                  "server's side clears them.\n";
    } else {
        report += "List the folder: " +
                  (listed.status.ok() ? seen ? std::string("yes") : "no (the file stored is not in it)" : Answer(listed)) + "\n";
    }
    const std::string claimProbe = ClaimName(probe);
    const FtpOutcome claimed = session.Commands({"MKD " + claimProbe});
    const FtpOutcome released = claimed.status.ok() ? session.Commands({"RMD " + claimProbe}) : claimed;
    report += "Make and remove a folder (the claim on a batch's name): " +
              Answer(claimed.status.ok() ? released : claimed) + "\n";
    const std::string renamedProbe = probe + ".renamed";
    const FtpOutcome renamed = session.Commands({"RNFR " + probe, "RNTO " + renamedProbe});
    report += "Rename: " + Answer(renamed) + "\n";
    const FtpOutcome deleted = session.Commands({"DELE " + (renamed.status.ok() ? renamedProbe : probe)});
    report += "Delete: " + Answer(deleted) + "\n";

    if (!sizeKnown && !(listed.status.ok() && seen)) {
        report += "Warning: the account may store, but neither ask a file's size nor list the folder. Quendrel then "
                  "cannot see whether a batch of the same name is already there, so two PCs of this location that "
                  "send in the same minute can replace each other's batch. Give the account the right to list "
                  "the folder.\n";
    }
    if (!claimed.status.ok() || !released.status.ok()) {
        report += "Warning: the account may not make and remove folders, so Quendrel cannot claim a batch's name "
                  "on the server while it sends the batch. Two PCs of this location that send in the same minute "
                  "can then replace each other's batch on this account. Give the account the right to make and "
                  "remove folders in the remote folder.\n";
    }
    if (!renamed.status.ok()) {
        report += "Note: without renames a batch is stored under its final name while it arrives, so an importer "
                  "may see it before it is complete.\n";
    }
    if (!deleted.status.ok()) {
        report += "Note: without the right to delete, what a failed upload left on the server stays there, and "
                  "so does this check's file " + (renamed.status.ok() ? renamedProbe : probe) + ".\n";
    }
    check.uploadWouldWork = true;
    report += "Result: an upload from this PC would work.\n";
    return check;
}

}  // namespace quendrel
