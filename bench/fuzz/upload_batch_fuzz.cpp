// savedata.dat as it survived crashes and hand edits, then scans and uploads:
// each upload builds a batch from the file, scans are saved while it is on
// its way, and the file keeps only the records added since the batch was made.
// Invariant: the record lines of every batch sent, followed by the lines still
// pending, are exactly the file's first lines followed by every scan saved, in
// order: no record lost, none invented. Each batch has its header (with the
// count of its lines) and trailer. Runs on real files in a private folder.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/files.h"
#include "scan/scan_record.h"
#include "upload/upload_batch.h"

namespace {

using Lines = std::vector<std::string>;

// Lines of text whose lines end in CR LF; a last line without one counts.
Lines SplitLines(const std::string& text) {
    Lines lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The record lines of a batch file, after its header and trailer are checked.
Lines BatchRecords(const std::string& batch, const std::string& name) {
    const std::size_t headerEnd = batch.find("\r\n");
    FUZZ_CHECK(headerEnd != std::string::npos, "batch without a header line");
    const std::string header = batch.substr(0, headerEnd);
    const std::string prefix = "UH" + name;
    FUZZ_CHECK(header.compare(0, prefix.size(), prefix) == 0, "header does not name the batch");
    const std::string trailer = std::string(quendrel::kBatchTrailer) + "\r\n";
    FUZZ_CHECK(batch.size() >= headerEnd + 2 + trailer.size() &&
                   batch.compare(batch.size() - trailer.size(), trailer.size(), trailer) == 0,
               "batch does not end in its trailer");
    const std::string body = batch.substr(headerEnd + 2, batch.size() - trailer.size() - headerEnd - 2);
    FUZZ_CHECK(body.empty() || body.compare(body.size() - 2, 2, "\r\n") == 0, "last record runs into the trailer");
    Lines records = SplitLines(body);
    const std::string count = header.substr(prefix.size());
    FUZZ_CHECK(count == quendrel::FormatLineCount(static_cast<std::int32_t>(records.size() + 1)),
               "header count is not the number of lines before the trailer");
    return records;
}

std::string RecordFrom(FuzzedDataProvider& input) {
    std::string record = input.ConsumeRandomLengthString(64);
    std::string clean;
    for (char c : record) {
        if (c != '\r' && c != '\n') clean.push_back(c);  // a record never holds a line end
    }
    return clean;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every run works in a folder of its own, like the program's working folder.
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string folder = std::string(base) + "/quendrel-fuzz-XXXXXX";
    if (!mkdtemp(&folder[0]) || chdir(folder.c_str()) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    quendrel::IFileSystem& files = quendrel::SystemFileSystem();
    const std::string saveData = quendrel::kSaveDataFile;
    unlink(saveData.c_str());

    const std::string survived = input.ConsumeRandomLengthString(4096);
    if (!input.ConsumeBool() || !survived.empty()) FUZZ_CHECK(files.WriteNew(saveData, survived).ok(), "write");
    Lines expected = SplitLines(survived);
    Lines onServer;

    auto saveScan = [&] {
        const std::string record = RecordFrom(input);
        FUZZ_CHECK(files.AppendDurably(saveData, record + "\r\n").ok(), "append");
        expected.push_back(record);
    };

    for (int step = 0; step < 32 && input.remaining_bytes() > 0; ++step) {
        if (input.ConsumeBool()) {
            saveScan();
            continue;
        }
        std::string sent;
        if (!files.ReadAll(saveData, sent).ok()) continue;  // nothing pending: no upload
        const std::string name = "0111080905X1.TXT";
        const Lines records = BatchRecords(quendrel::UploadFileContents(name, sent), name);
        FUZZ_CHECK(records.size() == quendrel::CountRecordLines(sent), "batch and savedata.dat count differently");

        for (int during = input.ConsumeIntegralInRange(0, 3); during > 0; --during) saveScan();
        onServer.insert(onServer.end(), records.begin(), records.end());

        std::string current;
        FUZZ_CHECK(files.ReadAll(saveData, current).ok(), "read after upload");
        const auto rest = quendrel::RecordsAddedSince(quendrel::SentRecords::Of(sent), current);
        FUZZ_CHECK(rest.has_value(), "scans saved during the upload not told apart");
        FUZZ_CHECK((rest->empty() ? files.Remove(saveData) : files.ReplaceAtomically(saveData, *rest)).ok(),
                   "rewrite of savedata.dat");
    }

    std::string pending;
    if (!files.ReadAll(saveData, pending).ok()) pending.clear();
    Lines seen = onServer;
    const Lines left = SplitLines(pending);
    seen.insert(seen.end(), left.begin(), left.end());
    FUZZ_CHECK(seen == expected, "a record was lost or invented");
    return 0;
}
