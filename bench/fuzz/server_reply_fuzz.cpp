// The FTP server's replies after a store (its final reply, its answer to
// SIZE) to the verdict whether the batch counts as sent.
// Invariants: a store counts as sent only on proof: never after a 4xx or 5xx
// reply, never when the server holds another size than was sent, and only
// with a 226/250 reply or the server's size equal to what was sent; a size
// read from a reply is exactly the digits of a "213 " reply.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/ftp_client.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    quendrel::StoreEvidence evidence;
    evidence.sent = input.ConsumeIntegral<unsigned long long>() % 100000000;
    if (input.ConsumeBool()) {
        evidence.remoteSize = input.ConsumeBool() ? evidence.sent : input.ConsumeIntegral<unsigned long long>();
    }
    evidence.finalReply = input.ConsumeRandomLengthString(256);
    const std::string sizeReply = input.ConsumeRemainingBytesAsString();

    const bool sent = quendrel::ConfirmStore(evidence, "/incoming/0111080905X1.TXT").ok();
    if (sent) {
        FUZZ_CHECK(!quendrel::IsRefusalReply(evidence.finalReply), "counted as sent after a refusal");
        FUZZ_CHECK(!evidence.remoteSize || *evidence.remoteSize == evidence.sent,
                   "counted as sent although the server holds another size");
        FUZZ_CHECK(quendrel::IsCompletionReply(evidence.finalReply) || evidence.remoteSize,
                   "counted as sent without any proof");
    }
    if (quendrel::IsCompletionReply(evidence.finalReply) && !evidence.remoteSize) {
        FUZZ_CHECK(sent, "a completion reply alone was not taken as proof");
    }

    if (const auto remote = quendrel::SizeFromReply(sizeReply)) {
        FUZZ_CHECK(sizeReply.compare(0, 4, "213 ") == 0, "a size from a reply other than 213");
        std::string digits = sizeReply.substr(4);
        while (!digits.empty() && std::isspace(static_cast<unsigned char>(digits.back()))) digits.pop_back();
        for (char c : digits) FUZZ_CHECK(std::isdigit(static_cast<unsigned char>(c)), "a size from non-digits");
        const std::size_t first = digits.find_first_not_of('0');
        const std::string written = first == std::string::npos ? "0" : digits.substr(first);
        FUZZ_CHECK(written == std::to_string(*remote), "the size read is not the size the server sent");
    }
    return 0;
}
