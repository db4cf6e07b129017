#include "upload/upload_batch.h"

#include <limits>

#include "config/settings_rules.h"
#include "platform/text.h"

namespace quendrel {

std::string UploadFileName(const LocalTime& now, const std::string& locationCode) {
    return TimestampDigits(now, /*withSeconds=*/false) + locationCode + std::string(kBatchExtension);
}

std::string FormatLineCount(std::int32_t count) {
    const bool negative = count < 0;
    // Through 64 bits so that the smallest int32 has a magnitude.
    std::string digits = std::to_string(negative ? -static_cast<std::int64_t>(count) : count);
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

std::size_t CountRecordLines(const std::string& records) {
    if (records.empty()) return 0;
    std::size_t lines = 0;
    std::size_t pos = 0;
    while ((pos = records.find("\r\n", pos)) != std::string::npos) {
        ++lines;
        pos += 2;
    }
    return EndsWithLineEnd(records) ? lines : lines + 1;
}

namespace {
// The batch around the records: the header line, the line end that closes an
// unended last record, and the trailer line.
struct BatchFrame {
    std::string header;
    std::string_view closing;
    std::string trailer;
};

BatchFrame FrameFor(const std::string& fileName, const std::string& records) {
    const std::size_t lines = CountRecordLines(records);
    // The header counts itself as well as the records.
    const auto count = static_cast<std::int32_t>(
        std::min<std::size_t>(lines + 1, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())));
    const bool unended = !records.empty() && !EndsWithLineEnd(records);
    return {"UH" + fileName + FormatLineCount(count) + "\r\n", unended ? "\r\n" : "",
            std::string(kBatchTrailer) + "\r\n"};
}
}  // namespace

std::string UploadFileContents(const std::string& fileName, const std::string& records) {
    const BatchFrame frame = FrameFor(fileName, records);
    return frame.header + records + std::string(frame.closing) + frame.trailer;
}

SentRecords SentRecords::Of(std::string_view records) {
    return {records.size(), Sha256Of(records), records.empty() || EndsWithLineEnd(records)};
}

std::optional<std::string> RecordsAddedSince(const SentRecords& sent, const std::string& current) {
    if (current.size() < sent.size) return std::nullopt;
    const auto sentSize = static_cast<std::size_t>(sent.size);
    if (Sha256Of(std::string_view(current).substr(0, sentSize)) != sent.digest) return std::nullopt;
    std::string added = current.substr(sentSize);
    // A scan saved after an unended last line starts with the line end that
    // closed that line; it belonged to the line that was sent.
    if (!sent.endsWithLineEnd && added.compare(0, 2, "\r\n") == 0) added.erase(0, 2);
    return added;
}

Status BuildUploadFile(IFileSystem& files, const LocalTime& now, const std::string& locationCode,
                           BuiltBatch& built) {
    std::string records;
    Status status = files.ReadAll(kSaveDataFile, records);
    if (!status.ok()) return status;

    const OtherLocationRecords other = RecordsOfOtherLocations(records, locationCode);
    if (other.count != 0) return Status::Failed("Nothing was sent. " + OtherLocationMessage(other, locationCode));
    const std::string fileName = UploadFileName(now, locationCode);
    if (files.Exists(fileName)) {
        built.nameTaken = true;
        return Status::Failed("A batch named " + fileName +
                                  " was already made this minute and may not have been collected yet. "
                                  "Nothing was sent: please try again in a minute.");
    }
    // Written in pieces: a long-pending savedata.dat is not copied in memory.
    const BatchFrame frame = FrameFor(fileName, records);
    status = files.WriteNew(fileName, {frame.header, records, frame.closing, frame.trailer});
    if (!status.ok()) {
        if (files.Exists(fileName)) static_cast<void>(files.Remove(fileName));  // the write failure is what counts
        return status;
    }
    built.fileName = fileName;
    built.fileSize = frame.header.size() + records.size() + frame.closing.size() + frame.trailer.size();
    built.sentRecords = SentRecords::Of(records);
    return Status::Ok();
}

}  // namespace quendrel
