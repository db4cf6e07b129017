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
#include "platform/text.h"

namespace quendrel {

namespace {

constexpr const char* kTemporarySuffix = ".part";
constexpr std::size_t kRunTagLength = 8;

bool SameNameIgnoringCase(const std::string& a, const std::string& b) { return Lowered(a) == Lowered(b); }

bool AllOf(const std::string& text, std::size_t from, std::size_t count, int (*test)(int)) {
    return from + count <= text.size() &&
           std::all_of(text.begin() + static_cast<std::ptrdiff_t>(from),
                       text.begin() + static_cast<std::ptrdiff_t>(from + count),
                       [test](unsigned char c) { return test(c) != 0; });
}

int IsLowerHexDigit(int c) { return std::isdigit(c) || (c >= 'a' && c <= 'f'); }

// What the server tells of a name: there, not there, or nothing either way.
enum class Presence { There, NotThere, Unknown };

class Upload {
public:
    Upload(const LocationSettings& settings, FtpServer server, const std::string& batchName, IFileSystem& files,
           const std::atomic<bool>& cancel, IUploadProgress& progress, const UploadLimits& limits,
           const std::string& runTag)
        : settings_(settings),
          server_(std::move(server)),
          batchName_(batchName),
          remoteName_(RemoteFileName(settings.RemotePath, batchName)),
          temporaryName_(TemporaryName(remoteName_, runTag)),
          files_(files),
          cancel_(cancel),
          progress_(progress),
          limits_(limits),
          session_(server_, limits.silenceBound, cancel) {}

    const std::string& RemoteName() const { return remoteName_; }

    // Sends the batch; a failure says where it happened.
    FtpOutcome Run() {
        std::uint64_t size = 0;
        Status local = files_.Size(batchName_, size);
        if (!local.ok()) return {local, 0, FtpFailure::Local};

        FtpOutcome checked = CheckFinalNameIsFree();
        if (!checked.status.ok()) return checked;

        FtpOutcome stored = StoreConfirmed(temporaryName_, size);
        if (!stored.status.ok()) return stored;

        const FtpOutcome renamed = session_.Commands({"RNFR " + temporaryName_, "RNTO " + remoteName_});
        if (renamed.status.ok()) return renamed;
        if (!renamed.Refused()) {
            // The connection went during the rename: whether it was done is
            // unknown, so the batch does not count as sent. Where the server
            // answers, what is left under the temporary name goes.
            RemoveQuietly(temporaryName_);
            return renamed;
        }

        // The server refuses renames: store under the final name, as long as
        // nobody else's batch is there now.
        progress_.Note(kNoRenameNote);
        RemoveQuietly(temporaryName_);
        listAsked_ = false;  // what the folder holds now
        checked = CheckFinalNameIsFree();
        if (!checked.status.ok()) return checked;
        return StoreConfirmed(remoteName_, size);
    }

    // Temporary files of earlier runs that lost the server: only this
    // location's, never another name.
    void RemoveLeftovers() {
        const std::string folder = RemoteFolder(remoteName_);
        const std::string leafPrefix = RemoteLeafName(settings_.RemotePath);
        for (const std::string& name : Listing()) {
            if (IsTemporaryBatchName(name, leafPrefix, settings_.LocationCode)) {
                static_cast<void>(session_.Commands({"DELE " + folder + name}));
            }
        }
    }

private:
    FtpOutcome CheckFinalNameIsFree() {
        std::optional<std::uint64_t> size;
        const FtpOutcome asked = session_.Size(remoteName_, size);
        if (!asked.status.ok() && asked.reply != 550) return asked;
        Presence presence = size ? Presence::There : asked.reply == 550 ? Presence::NotThere : Presence::Unknown;
        if (presence == Presence::Unknown) presence = PresenceByListing();
        if (presence == Presence::There) return {Status::Failed(NameTakenOnServerMessage(batchName_)), 0, FtpFailure::Refused};
        return {};
    }

    Presence PresenceByListing() {
        const std::string leaf = RemoteLeafName(remoteName_);
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
        if (outcome.status.ok()) outcome = CheckStoredSize(remote, size);
        // Under the final name only what this store began is ours to delete.
        if (!outcome.status.ok() && (began || remote == temporaryName_)) RemoveQuietly(remote);
        return outcome;
    }

    // The server confirmed the store; where it tells the size, it must be
    // the whole file.
    FtpOutcome CheckStoredSize(const std::string& remote, std::uint64_t size) {
        std::optional<std::uint64_t> held;
        const FtpOutcome asked = session_.Size(remote, held);
        if (!asked.status.ok() && !asked.Refused()) return asked;
        if (held && *held != size) {
            return {Status::Failed("The FTP server kept " + std::to_string(*held) + " of the " + std::to_string(size) +
                                   " bytes. The upload is incomplete."),
                    0, FtpFailure::Transfer};
        }
        return {};
    }

    // Best effort: a server that is gone keeps what it has, which then is
    // never under a batch's final name unless the server cannot rename.
    void RemoveQuietly(const std::string& remote) {
        if (!cancel_) {
            static_cast<void>(session_.Commands({"DELE " + remote}));
            return;
        }
        // The program is closing: a short, uncancelled try of its own.
        const std::atomic<bool> never{false};
        FtpSession cleanup(server_, limits_.cleanupBound, never);
        static_cast<void>(cleanup.Commands({"DELE " + remote}));
    }

    const LocationSettings& settings_;
    FtpServer server_;
    std::string batchName_;
    std::string remoteName_;
    std::string temporaryName_;
    IFileSystem& files_;
    const std::atomic<bool>& cancel_;
    IUploadProgress& progress_;
    UploadLimits limits_;
    FtpSession session_;
    bool listAsked_ = false;
    bool listed_ = false;
    std::vector<std::string> names_;
};

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
    while (bytes.size() * 2 < kRunTagLength) bytes += static_cast<char>(random());
    return HexDigits(bytes, HexCase::Lower);
}

std::string TemporaryName(const std::string& remoteName, const std::string& runTag) {
    return remoteName + "." + runTag + kTemporarySuffix;
}

bool IsTemporaryBatchName(const std::string& leaf, const std::string& leafPrefix, const std::string& locationCode) {
    const std::string extension = std::string(kBatchExtension) + ".";
    const std::string tail = extension + std::string(kRunTagLength, 'x') + kTemporarySuffix;
    const std::size_t expected = leafPrefix.size() + kBatchTimestampLength + locationCode.size() + tail.size();
    if (leaf.size() != expected || leaf.compare(0, leafPrefix.size(), leafPrefix) != 0) return false;
    std::size_t at = leafPrefix.size();
    if (!AllOf(leaf, at, kBatchTimestampLength, [](int c) { return std::isdigit(c); })) return false;
    at += kBatchTimestampLength;
    if (leaf.compare(at, locationCode.size(), locationCode) != 0) return false;
    at += locationCode.size();
    if (leaf.compare(at, extension.size(), extension) != 0) return false;
    at += extension.size();
    if (!AllOf(leaf, at, kRunTagLength, IsLowerHexDigit)) return false;
    return leaf.compare(at + kRunTagLength, std::string::npos, kTemporarySuffix) == 0;
}

Status UploadFailure(const FtpOutcome& failed, const FtpServer& server, const std::string& remoteName) {
    if (failed.failure == FtpFailure::Cancelled || failed.failure == FtpFailure::Local) return failed.status;
    const std::string where = ServerAddress(server.host, server.port);
    std::string advice;
    switch (failed.failure) {
        case FtpFailure::Server:
            advice = " Check the FTP server (h) in the location's settings, and that this PC can reach it.";
            break;
        case FtpFailure::Login: advice = " Check the FTP user (u) and password (p) in the location's settings."; break;
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
                 const std::atomic<bool>& cancel, IUploadProgress& progress, const UploadLimits& limits,
                 const std::string& runTag) {
    const std::optional<FtpServer> server = FtpServerOf(settings);
    if (!server) {
        progress.Finished(Status::Failed("\"" + settings.FtpHost + "\" is not an FTP server name with an optional port."));
        return;
    }
    Upload upload(settings, *server, batchName, files, cancel, progress, limits, runTag);
    const FtpOutcome sent = upload.Run();
    progress.Finished(sent.status.ok() ? sent.status : UploadFailure(sent, *server, upload.RemoteName()));
    if (sent.status.ok()) upload.RemoveLeftovers();
}

}  // namespace quendrel
