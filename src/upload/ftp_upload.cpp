#include "upload/ftp_upload.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "config/settings_rules.h"
#include "platform/sha256.h"
#include "platform/text.h"

namespace quendrel {

namespace {

constexpr const char* kTemporarySuffix = ".part";
constexpr const char* kClaimSuffix = ".claim";
constexpr std::size_t kTagLength = 8;
constexpr const char* kRemoveFile = "DELE ";
constexpr const char* kRemoveFolder = "RMD ";
// A claim is held for one upload. One whose minute lies an hour before a
// batch's is a leftover: no PC of the location makes a batch of that
// minute any more.
constexpr long kClaimOutlivedMinutes = 60;

bool SameNameIgnoringCase(const std::string& a, const std::string& b) { return Lowered(a) == Lowered(b); }

bool Mentions(const std::string& text, const std::string& word) { return Lowered(text).find(word) != std::string::npos; }

bool AllOf(const std::string& text, std::size_t from, std::size_t count, int (*test)(int)) {
    return from + count <= text.size() &&
           std::all_of(text.begin() + static_cast<std::ptrdiff_t>(from),
                       text.begin() + static_cast<std::ptrdiff_t>(from + count),
                       [test](unsigned char c) { return test(c) != 0; });
}

int IsDecimalDigit(int c) { return std::isdigit(c); }
int IsLowerHexDigit(int c) { return std::isdigit(c) || (c >= 'a' && c <= 'f'); }

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void Forget(std::vector<std::string>& names, const std::string& name) {
    names.erase(std::remove(names.begin(), names.end(), name), names.end());
}

void Remember(std::vector<std::string>& names, const std::string& name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

// What the server tells of a name: there, not there, or nothing either way.
enum class Presence { There, NotThere, Unknown };

class Upload {
public:
    Upload(const LocationSettings& settings, FtpServer server, const std::string& batchName, IFileSystem& files,
           const std::atomic<bool>& cancel, IUploadProgress& progress, Uploader& uploader, const UploadLimits& limits)
        : settings_(settings),
          server_(std::move(server)),
          batchName_(batchName),
          remoteName_(RemoteFileName(settings.RemotePath, batchName)),
          temporaryName_(TemporaryName(remoteName_, uploader.tag)),
          claimName_(ClaimName(remoteName_)),
          files_(files),
          cancel_(cancel),
          progress_(progress),
          uploader_(uploader),
          limits_(limits),
          session_(server_, limits.silenceBound, cancel) {}

    const std::string& RemoteName() const { return remoteName_; }

    // Sends the batch; a failure says where it happened.
    FtpOutcome Run() {
        std::uint64_t size = 0;
        Status local = files_.Size(batchName_, size);
        if (!local.ok()) return {local, 0, FtpFailure::Local};

        FtpOutcome step = TakeClaim();
        if (!step.status.ok()) return step;
        step = CheckFinalNameIsFree();
        if (!step.status.ok()) return step;
        step = StoreConfirmed(temporaryName_, size);
        if (!step.status.ok()) return step;
        if (!claimed_) {
            // Another PC may have sent a batch of this name meanwhile.
            step = CheckFinalNameIsFree();
            if (!step.status.ok()) {
                RemoveQuietly(temporaryName_);
                return step;
            }
        }
        const FtpOutcome renamed = session_.Commands({"RNFR " + temporaryName_, "RNTO " + remoteName_});
        if (renamed.status.ok()) return renamed;
        if (!renamed.Refused()) return ConfirmRenameAfterLoss(renamed, size);

        // The rename was refused: by a server that does not rename, or
        // because the temporary file is no longer there.
        if (PresenceOf(temporaryName_) == Presence::NotThere) {
            return {Status::Failed("The batch vanished from the FTP server after it was stored as " +
                                   temporaryName_ + ", before it could be renamed."),
                    0, FtpFailure::Transfer};
        }
        progress_.Note(kNoRenameNote);
        RemoveQuietly(temporaryName_);
        step = CheckFinalNameIsFree();
        if (!step.status.ok()) return step;
        return StoreConfirmed(remoteName_, size);
    }

    // After the outcome is told: the claim goes, then what this PC's
    // uploads left on the server, as long as the server answers.
    void Tidy(bool sent) {
        bool answers = true;
        const auto remove = [this, &answers](const char* command, const std::string& name,
                                             std::vector<std::string>& left) {
            if (answers) {
                answers = RemoveOrRemember(command, name, left);
            } else {
                Remember(left, name);
            }
        };
        if (claimed_) remove(kRemoveFolder, claimName_, uploader_.leftFolders);
        if (cancel_) return;  // the program is closing: the rest can wait for its next upload
        for (const std::string& name : std::vector<std::string>(uploader_.leftFiles))
            remove(kRemoveFile, name, uploader_.leftFiles);
        for (const std::string& name : std::vector<std::string>(uploader_.leftFolders))
            remove(kRemoveFolder, name, uploader_.leftFolders);
        // Over TLS a listing is left out: it costs a data connection of its own.
        if (!sent || !answers || server_.tls) return;
        const std::string folder = RemoteFolder(remoteName_);
        const std::string leafPrefix = RemoteLeafName(settings_.RemotePath);
        const std::string minute = batchName_.substr(0, kBatchTimestampLength);
        listAsked_ = false;
        for (const std::string& name : Listing()) {
            const std::optional<UploadLeftover> left = ParseUploadLeftover(name, leafPrefix, settings_.LocationCode);
            if (!left || !answers) continue;
            if (left->kind == UploadLeftover::Kind::Temporary && left->tag == uploader_.tag) {
                remove(kRemoveFile, folder + name, uploader_.leftFiles);
            } else if (left->kind == UploadLeftover::Kind::Claim) {
                const std::optional<long> age = MinutesBetween(left->minute, minute);
                if (age && *age > kClaimOutlivedMinutes) remove(kRemoveFolder, folder + name, uploader_.leftFolders);
            }
        }
    }

private:
    // Makes the claim. Refused, it is held by another PC, or this account
    // may not make folders: a folder of this PC's own name tells which.
    FtpOutcome TakeClaim() {
        if (std::find(uploader_.leftFolders.begin(), uploader_.leftFolders.end(), claimName_) !=
            uploader_.leftFolders.end()) {
            // This PC's own, from an upload that lost the server.
            static_cast<void>(RemoveFolderOrRemember(claimName_));
        }
        const FtpOutcome made = session_.Commands({"MKD " + claimName_});
        if (made.status.ok()) {
            claimed_ = true;
            return made;
        }
        if (!made.Refused()) return made;
        const std::string probe = claimName_ + "." + uploader_.tag;
        if (!session_.Commands({"MKD " + probe}).status.ok()) return {};  // no claims on this account
        static_cast<void>(RemoveFolderOrRemember(probe));
        return NameTaken();
    }

    FtpOutcome NameTaken() const {
        return {Status::Failed(NameTakenOnServerMessage(batchName_)), 0, FtpFailure::NameTaken};
    }

    FtpOutcome CheckFinalNameIsFree() {
        listAsked_ = false;  // what the folder holds now
        std::optional<std::uint64_t> size;
        const FtpOutcome asked = session_.Size(remoteName_, size);
        if (!asked.status.ok() && asked.reply != 550) return asked;
        Presence presence = size ? Presence::There : asked.reply == 550 ? Presence::NotThere : Presence::Unknown;
        if (presence == Presence::Unknown) presence = PresenceByListing(remoteName_);
        if (presence == Presence::There) return NameTaken();
        return {};
    }

    Presence PresenceOf(const std::string& remote) {
        std::optional<std::uint64_t> size;
        const FtpOutcome asked = session_.Size(remote, size);
        if (size) return Presence::There;
        if (asked.reply == 550) return Presence::NotThere;
        listAsked_ = false;
        return PresenceByListing(remote);
    }

    Presence PresenceByListing(const std::string& remote) {
        const std::string leaf = RemoteLeafName(remote);
        for (const std::string& name : Listing())
            if (SameNameIgnoringCase(name, leaf)) return Presence::There;
        return listed_ ? Presence::NotThere : Presence::Unknown;
    }

    // The names in the batch's folder, asked for once; empty where the server
    // gives no listing.
    const std::vector<std::string>& Listing() {
        if (!listAsked_) {
            listAsked_ = true;
            listed_ = session_.ListNames(RemoteFolder(remoteName_), names_).status.ok();
        }
        return names_;
    }

    // The connection went during the rename, so whether it was done is
    // unknown: asked again on a new connection, it was where the final name
    // holds the batch's size and the temporary name is gone.
    FtpOutcome ConfirmRenameAfterLoss(const FtpOutcome& lost, std::uint64_t size) {
        std::optional<std::uint64_t> held;
        const FtpOutcome final = session_.Size(remoteName_, held);
        if (final.status.ok() && held == size && PresenceOf(temporaryName_) == Presence::NotThere) return {};
        RemoveQuietly(temporaryName_);
        return lost;
    }

    // Stores the batch under `remote`; what the server keeps of a failed
    // store is deleted again where it still answers.
    FtpOutcome StoreConfirmed(const std::string& remote, std::uint64_t size) {
        std::unique_ptr<IFileReader> reader;
        Status local = files_.OpenForReading(batchName_, reader);
        if (!local.ok()) return {local, 0, FtpFailure::Local};
        bool began = false;
        FtpOutcome outcome = session_.Store(remote, *reader, size, began,
                                            [this, size](std::uint64_t sent) { progress_.Sent(sent, size); });
        reader.reset();
        // Under the final name only what this store began is ours to delete.
        if (!outcome.status.ok() && (began || remote == temporaryName_)) RemoveQuietly(remote);
        return outcome;
    }

    // Best effort: a server that is gone keeps what it has, which then is
    // never under a batch's final name unless the server cannot rename. A
    // temporary file is remembered for a later upload.
    void RemoveQuietly(const std::string& remote) {
        if (remote == temporaryName_) {
            static_cast<void>(RemoveFileOrRemember(remote));
        } else {
            static_cast<void>(Working().Commands({kRemoveFile + remote}));
        }
    }

    // The session for the next command: once the program is closing, a
    // short, uncancelled one of its own, so that what this upload made on
    // the server is removed all the same.
    FtpSession& Working() {
        if (!cancel_) return session_;
        if (!cleanup_) cleanup_ = std::make_unique<FtpSession>(server_, limits_.cleanupBound, never_);
        return *cleanup_;
    }

    // A refusal means there is nothing to remove; a lost connection, that
    // the name stays for a later upload. False when the server did not answer.
    bool RemoveFileOrRemember(const std::string& remote) {
        return RemoveOrRemember(kRemoveFile, remote, uploader_.leftFiles);
    }
    bool RemoveFolderOrRemember(const std::string& remote) {
        return RemoveOrRemember(kRemoveFolder, remote, uploader_.leftFolders);
    }
    bool RemoveOrRemember(const char* command, const std::string& remote, std::vector<std::string>& left) {
        const FtpOutcome removed = Working().Commands({command + remote});
        const bool answered = removed.status.ok() || removed.Refused();
        if (answered) {
            Forget(left, remote);
        } else {
            Remember(left, remote);
        }
        return answered;
    }

    const LocationSettings& settings_;
    FtpServer server_;
    std::string batchName_;
    std::string remoteName_;
    std::string temporaryName_;
    std::string claimName_;
    IFileSystem& files_;
    const std::atomic<bool>& cancel_;
    IUploadProgress& progress_;
    Uploader& uploader_;
    UploadLimits limits_;
    FtpSession session_;
    const std::atomic<bool> never_{false};
    std::unique_ptr<FtpSession> cleanup_;
    bool claimed_ = false;
    bool listAsked_ = false;
    bool listed_ = false;
    std::vector<std::string> names_;
};

// Days from 2000-01-01 to a date of the Gregorian calendar.
long DaysSince2000(int year, int month, int day) {
    static const int kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const int yearsBefore = year - 2000;
    long days = 365L * yearsBefore + (yearsBefore + 3) / 4 - (yearsBefore + 99) / 100 + (yearsBefore + 399) / 400;
    days += kDaysBefore[month - 1] + day - 1;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (leap && month > 2) ++days;
    return days;
}

std::optional<long> MinuteNumber(const std::string& minute) {
    if (!AllOf(minute, 0, kBatchTimestampLength, IsDecimalDigit) || minute.size() != kBatchTimestampLength)
        return std::nullopt;
    const auto piece = [&minute](std::size_t at) { return std::stoi(minute.substr(at, 2)); };
    const int month = piece(2), day = piece(4), hour = piece(6), minutes = piece(8);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minutes > 59) return std::nullopt;
    return (DaysSince2000(2000 + piece(0), month, day) * 24 + hour) * 60 + minutes;
}

}  // namespace

std::string RemoteFileName(const std::string& remotePath, const std::string& fileName) {
    return remotePath + fileName;
}

std::string RemoteFolder(const std::string& remoteName) {
    const auto slash = remoteName.find_last_of('/');
    return slash == std::string::npos ? std::string() : remoteName.substr(0, slash + 1);
}

std::string RemoteLeafName(const std::string& remoteName) {
    return remoteName.substr(RemoteFolder(remoteName).size());
}

std::string NewRunTag() {
    std::random_device device;
    std::seed_seq seed{device(), static_cast<unsigned>(std::chrono::high_resolution_clock::now().time_since_epoch().count()),
                       static_cast<unsigned>(std::hash<std::thread::id>{}(std::this_thread::get_id()))};
    std::mt19937 random(seed);
    std::string bytes;
    while (bytes.size() * 2 < kTagLength) bytes += static_cast<char>(random());
    return HexDigits(bytes, HexCase::Lower);
}

std::string UploaderTag(const std::string& computerName, const std::string& workingFolder) {
    const Sha256Digest digest = Sha256Of(Lowered(computerName) + "\n" + workingFolder);
    return HexDigits(std::string(digest.begin(), digest.begin() + kTagLength / 2), HexCase::Lower);
}

std::string TemporaryName(const std::string& remoteName, const std::string& uploaderTag) {
    return remoteName + "." + uploaderTag + kTemporarySuffix;
}

std::string ClaimName(const std::string& remoteName) { return remoteName + kClaimSuffix; }

std::optional<UploadLeftover> ParseUploadLeftover(const std::string& leaf, const std::string& leafPrefix,
                                                  const std::string& locationCode) {
    if (leaf.compare(0, leafPrefix.size(), leafPrefix) != 0) return std::nullopt;
    std::size_t at = leafPrefix.size();
    if (!AllOf(leaf, at, kBatchTimestampLength, IsDecimalDigit)) return std::nullopt;
    UploadLeftover left;
    left.minute = leaf.substr(at, kBatchTimestampLength);
    at += kBatchTimestampLength;
    const std::string batchEnd = locationCode + std::string(kBatchExtension);
    if (leaf.compare(at, batchEnd.size(), batchEnd) != 0) return std::nullopt;
    const std::string rest = leaf.substr(at + batchEnd.size());
    if (rest == kClaimSuffix) {
        left.kind = UploadLeftover::Kind::Claim;
        return left;
    }
    const std::string temporaryEnd = std::string(kTemporarySuffix);
    if (rest.size() != 1 + kTagLength + temporaryEnd.size() || rest[0] != '.' || !EndsWith(rest, temporaryEnd) ||
        !AllOf(rest, 1, kTagLength, IsLowerHexDigit))
        return std::nullopt;
    left.tag = rest.substr(1, kTagLength);
    return left;
}

std::optional<long> MinutesBetween(const std::string& earlier, const std::string& later) {
    const std::optional<long> from = MinuteNumber(earlier), to = MinuteNumber(later);
    if (!from || !to) return std::nullopt;
    return *to - *from;
}

Status UploadFailure(const FtpOutcome& failed, const FtpServer& server, const std::string& remoteName) {
    if (failed.failure == FtpFailure::Cancelled || failed.failure == FtpFailure::Local) return failed.status;
    const std::string where = ServerAddress(server.host, server.port);
    std::string advice;
    switch (failed.failure) {
        case FtpFailure::Server:
            advice = " Check the FTP server (h) in the location's settings, and that this PC can reach it.";
            break;
        case FtpFailure::Login:
            // A server that wants FTP over TLS refuses a plain login with 530.
            if (!server.tls && (Mentions(failed.status.description, "encrypt") ||
                                Mentions(failed.status.description, "tls") || Mentions(failed.status.description, "ssl"))) {
                advice = " The server asks for FTP over TLS: set TLS (t, makereg --tls) in the location's settings.";
            } else {
                advice = " Check the FTP user (u) and password (p) in the location's settings.";
            }
            break;
        case FtpFailure::Refused:
            if (failed.reply == 550 || failed.reply == 553)
                advice = " Check the remote path (r) in the location's settings: the folder must be there, and "
                         "the account allowed to store in it.";
            break;
        default: break;
    }
    return Status::Failed("Sending " + remoteName + " to the FTP server " + where + " as user \"" + server.user +
                          "\" failed: " + failed.status.description + advice);
}

std::string NameTakenOnServerMessage(const std::string& fileName) {
    return "A batch named " + fileName + " is already on the FTP server and may not have been collected yet. "
           "Nothing was sent: please try again in a minute.";
}

std::optional<FtpServer> FtpServerOf(const LocationSettings& settings) {
    const auto endpoint = ParseFtpHost(settings.FtpHost);
    if (!endpoint) return std::nullopt;
    return FtpServer{endpoint->host, endpoint->port, settings.FtpUser, settings.FtpPassword,
                     settings.FtpTls == kTlsRequired, CurlPinnedKey(settings.ServerKeyPin)};
}

void UploadBatch(const LocationSettings& settings, const std::string& batchName, IFileSystem& files,
                 const std::atomic<bool>& cancel, IUploadProgress& progress, Uploader& uploader,
                 const UploadLimits& limits) {
    const std::optional<FtpServer> server = FtpServerOf(settings);
    if (!server) {
        progress.Finished(Status::Failed("\"" + settings.FtpHost + "\" is not an FTP server name with an optional port."),
                          false);
        return;
    }
    Upload upload(settings, *server, batchName, files, cancel, progress, uploader, limits);
    const FtpOutcome sent = upload.Run();
    progress.Finished(sent.status.ok() ? sent.status : UploadFailure(sent, *server, upload.RemoteName()),
                      sent.failure == FtpFailure::NameTaken);
    upload.Tidy(sent.status.ok());
}

}  // namespace quendrel
