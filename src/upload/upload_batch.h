#pragma once
// The upload batch file: a "UH" header naming the file and counting its lines,
// the pending scan records exactly as recorded, and the "<<EOF:>>" trailer.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/sha256.h"
#include "scan/scan_record.h"

namespace quendrel {

inline constexpr const char* kBatchTrailer = "<<EOF:>>";

// YYMMDDhhmm, the location code as stored, ".TXT".
std::string UploadFileName(const LocalTime& now, const std::string& locationCode);
// The count in the pattern "0000": at least four digits, never cut.
std::string FormatLineCount(std::int32_t count);
// Number of lines in text whose lines end in CR LF; a last line without its
// line end still counts, and an empty text has none.
std::size_t CountRecordLines(const std::string& records);
// The whole batch file for `records` (the bytes of savedata.dat).
std::string UploadFileContents(const std::string& fileName, const std::string& records);

// savedata.dat as it went into a batch, known by its size and fingerprint so
// that a large file need not stay in memory while the batch is sent.
struct SentRecords {
    std::uint64_t size = 0;
    Sha256Digest digest{};
    bool endsWithLineEnd = true;
    static SentRecords Of(std::string_view records);
};

// What is still pending once `sent` is on the server and savedata.dat now
// holds `current`: the records appended since. Empty optional when `current`
// no longer begins with what was sent, so that nothing can be told apart
// safely.
std::optional<std::string> RecordsAddedSince(const SentRecords& sent, const std::string& current);

struct BuiltBatch {
    std::string fileName;
    std::uint64_t fileSize = 0;
    SentRecords sentRecords;
    bool nameTaken = false;  // refused: a batch of this minute's name is in the working directory
};

// Writes the batch file for the pending scans into the working directory.
// Refuses, writing nothing, when a file of the batch's name is already there:
// the name has minute precision and the server keeps it, so a second batch in
// the same minute would replace one that may not have been collected yet.
// A failed write removes the partial batch file.
Status BuildUploadFile(IFileSystem& files, const LocalTime& now, const std::string& locationCode,
                           BuiltBatch& built);

}  // namespace quendrel
