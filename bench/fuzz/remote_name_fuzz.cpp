// Remote names on the way to the server, and the names the upload may delete.
// Invariants: the URL libcurl is given carries the remote name back exactly
// (percent-decoded, byte for byte); a name that an importer picks up (one
// ending in ".TXT") is never taken for a leftover of an upload, and every
// temporary name and claim the upload makes for a batch of the location is.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/ftp_session.h"
#include "upload/ftp_upload.h"

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string locationCode = input.ConsumeRandomLengthString(16);
    const std::string remotePath = input.ConsumeRandomLengthString(32);
    const std::string leaf = input.ConsumeRemainingBytesAsString();

    const quendrel::FtpServer server{"127.0.0.1", 2121, "u", "p"};
    const std::string remoteName = quendrel::RemoteFileName(remotePath, leaf);
    const std::string url = quendrel::FtpUrl(server, remoteName);
    const std::string prefix = "ftp://127.0.0.1:2121/";
    FUZZ_CHECK(url.compare(0, prefix.size(), prefix) == 0, "the URL names another server");
    std::string decoded;
    for (std::size_t i = prefix.size(); i < url.size(); ++i) {
        if (url[i] != '%') {
            decoded += url[i];
            continue;
        }
        FUZZ_CHECK(i + 2 < url.size() && HexValue(url[i + 1]) >= 0 && HexValue(url[i + 2]) >= 0, "a broken escape");
        decoded += static_cast<char>(HexValue(url[i + 1]) * 16 + HexValue(url[i + 2]));
        i += 2;
    }
    FUZZ_CHECK(decoded == remoteName, "the server would get another name than the remote name");

    const std::string leafPrefix = quendrel::RemoteLeafName(remotePath);
    if (leaf.size() >= 4 && leaf.compare(leaf.size() - 4, 4, ".TXT") == 0) {
        FUZZ_CHECK(!quendrel::ParseUploadLeftover(leafPrefix + leaf, leafPrefix, locationCode),
                   "a batch name taken for a leftover");
    }
    const std::string batch = quendrel::RemoteFileName(remotePath, "0111080905" + locationCode + ".TXT");
    if (quendrel::RemoteFolder(batch) == quendrel::RemoteFolder(remotePath + "x")) {
        for (const std::string& made : {quendrel::TemporaryName(batch, "0a1b2c3d"), quendrel::ClaimName(batch)}) {
            const auto left = quendrel::ParseUploadLeftover(quendrel::RemoteLeafName(made), leafPrefix, locationCode);
            FUZZ_CHECK(left && left->minute == "0111080905", "a name the upload makes not recognised");
        }
    }
    return 0;
}
