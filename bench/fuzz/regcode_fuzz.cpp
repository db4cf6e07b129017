// REGCODE text, which anyone with a text editor can write, to the settings
// the program runs with, then the settings check.
// Invariants: no setting holds ";" or "="; makereg's encoder writes the
// settings back to a REGCODE that decodes to the same settings; settings that
// the check lets through give a one-line scan record and batch header, a
// remote name without a line break, and a host with a port.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/regcode.h"
#include "config/settings_rules.h"
#include "fuzz_check.h"
#include "scan/scan_record.h"
#include "upload/upload_batch.h"

#include "settings_refusal.h"

namespace {

using quendrel::LocationSettings;

bool SameSettings(const LocationSettings& a, const LocationSettings& b) {
    return a.FtpHost == b.FtpHost && a.FtpUser == b.FtpUser && a.FtpPassword == b.FtpPassword &&
           a.RemotePath == b.RemotePath && a.LocationCode == b.LocationCode;
}

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string encoded(reinterpret_cast<const char*>(data), size);
    const std::string settingsText = quendrel::DecodeRegCode(encoded);
    if (size % 2 == 0) FUZZ_CHECK(settingsText.size() == size / 2, "two digits make one character");

    const LocationSettings settings = quendrel::ParseSettingsText(settingsText);
    for (const std::string* field : {&settings.FtpHost, &settings.FtpUser, &settings.FtpPassword,
                                     &settings.RemotePath, &settings.LocationCode}) {
        FUZZ_CHECK(field->find_first_of(";=") == std::string::npos, "a setting holds ';' or '='");
    }

    const std::string reencoded =
        quendrel::EncodeRegCode(quendrel::SettingsText(settings));
    FUZZ_CHECK(SameSettings(quendrel::ParseSettingsText(quendrel::DecodeRegCode(reencoded)), settings),
               "makereg's encoding of decoded settings reads back differently");

    if (!SettingsRefusal(settings).empty()) return 0;
    const quendrel::LocalTime time{2009, 12, 31, 23, 59, 59};
    const quendrel::Scan scan{"1ABCD23E45F678901", "510 Vehicle Received", "", ""};
    const std::string record = quendrel::FormatScanRecord(scan, settings.LocationCode, time);
    FUZZ_CHECK(!HasLineBreak(record), "accepted settings split a scan record");
    const std::string name = quendrel::UploadFileName(time, settings.LocationCode);
    const std::string batch = quendrel::UploadFileContents(name, record + "\r\n");
    FUZZ_CHECK(quendrel::CountRecordLines(batch) == 3, "accepted settings split the batch header");
    FUZZ_CHECK(!HasLineBreak(settings.RemotePath + name), "accepted settings put a line break in the remote name");
    const auto endpoint = quendrel::ParseFtpHost(settings.FtpHost);
    FUZZ_CHECK(endpoint && !endpoint->host.empty() && endpoint->port != 0, "accepted settings name no server");
    return 0;
}
