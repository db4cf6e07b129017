#include "upload/upload_batch.h"

#include <limits>

namespace quendrel {

std::string UploadFileName(const LocalTime& now, const std::string& locationCode) {
    return TimestampDigits(now, /*withSeconds=*/false) + locationCode + ".TXT";
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
    const bool lastLineUnended = records.size() < 2 || records.compare(records.size() - 2, 2, "\r\n") != 0;
    return lastLineUnended ? lines + 1 : lines;
}

namespace {
bool EndsWithLineEnd(const std::string& text) {
    return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}
}  // namespace

std::string UploadFileContents(const std::string& fileName, const std::string& records) {
    const std::size_t lines = CountRecordLines(records);
    // The header counts itself as well as the records.
    const auto count = static_cast<std::int32_t>(
        std::min<std::size_t>(lines + 1, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())));
    std::string contents;
    contents.reserve(records.size() + fileName.size() + 32);
    contents += "UH";
    contents += fileName;
    contents += FormatLineCount(count);
    contents += "\r\n";
    contents += records;
    if (!records.empty() && !EndsWithLineEnd(records)) contents += "\r\n";
    contents += kBatchTrailer;
    contents += "\r\n";
    return contents;
}

std::optional<std::string> RecordsAddedSince(const std::string& sent, const std::string& current) {
    if (current.size() < sent.size() || current.compare(0, sent.size(), sent) != 0) return std::nullopt;
    std::string added = current.substr(sent.size());
    // A scan saved after an unended last line starts with the line end that
    // closed that line; it belonged to the line that was sent.
    if (!sent.empty() && !EndsWithLineEnd(sent) && added.compare(0, 2, "\r\n") == 0) added.erase(0, 2);
    return added;
}

FileStatus BuildUploadFile(IFileSystem& files, const LocalTime& now, const std::string& locationCode,
                           BuiltBatch& built) {
    std::string records;
    FileStatus status = files.ReadAll(kSaveDataFile, records);
    if (!status.ok()) return status;

    const std::string fileName = UploadFileName(now, locationCode);
    if (files.Exists(fileName)) {
        return FileStatus::Failed("A batch named " + fileName +
                                  " was already made this minute and may not have been collected yet. "
                                  "Nothing was sent: please try again in a minute.");
    }
    status = files.WriteNew(fileName, UploadFileContents(fileName, records));
    if (!status.ok()) {
        if (files.Exists(fileName)) static_cast<void>(files.Remove(fileName));  // the write failure is what counts
        return status;
    }
    built.fileName = fileName;
    built.sentRecords = std::move(records);
    return FileStatus::Ok();
}

}  // namespace quendrel
