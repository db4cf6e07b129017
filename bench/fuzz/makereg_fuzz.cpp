// makereg's command line to the location.reg it writes, read back the way
// regedit and the program read it.
// Invariants: when makereg succeeds (options given as "--name value" or
// "--name=value"), its file is a REGEDIT4 file setting
// REGCODE, whose value the program decodes to exactly the settings given, and
// the program's settings check accepts them; when it fails, no file is written.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "config/regcode.h"
#include "config/location_settings.h"
#include "fuzz_check.h"
#include "settings_refusal.h"

int MakeregMain(int argc, char** argv);

namespace {

using quendrel::LocationSettings;

const char kOutput[] = "location.reg";

// The value of the one REGCODE line, as regedit reads a quoted string.
std::string RegCodeIn(const std::string& file) {
    const std::string head = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + std::string(quendrel::kLocationSubkey) +
                             "]\r\n\"" + quendrel::kLocationValueName + "\"=\"";
    FUZZ_CHECK(file.compare(0, head.size(), head) == 0, "location.reg does not begin as regedit expects");
    std::string value;
    std::size_t i = head.size();
    for (; i < file.size() && file[i] != '"'; ++i) {
        if (file[i] == '\\') ++i;
        FUZZ_CHECK(i < file.size(), "escape at the end of location.reg");
        value.push_back(file[i]);
    }
    FUZZ_CHECK(file.substr(i) == "\"\r\n\r\n", "location.reg does not end after the REGCODE line");
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string folder = std::string(base) + "/quendrel-fuzz-XXXXXX";
    if (!mkdtemp(&folder[0]) || chdir(folder.c_str()) != 0) std::abort();
    std::cout.rdbuf(nullptr);  // makereg's messages are not what is checked
    std::cerr.rdbuf(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The arguments, separated by NUL bytes as the system hands them over.
    std::vector<std::string> args{"makereg"};
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    args.push_back(current);
    if (args.size() > 24) return 0;
    for (const std::string& arg : args) {
        if (arg == "--output") return 0;  // the file always goes to the run's own folder
    }

    // What each option was given, when it was given once, after a flag.
    LocationSettings given;
    const std::pair<const char*, std::string LocationSettings::*> options[] = {
        {"--host", &LocationSettings::FtpHost},         {"--user", &LocationSettings::FtpUser},
        {"--password", &LocationSettings::FtpPassword}, {"--remote-path", &LocationSettings::RemotePath},
        {"--location", &LocationSettings::LocationCode}, {"--remote-prefix", &LocationSettings::RemotePath},
    };
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        const auto equals = arg.find('=');
        const bool inline_value = arg.rfind("--", 0) == 0 && equals != std::string::npos;
        const std::string value = inline_value ? arg.substr(equals + 1) : i + 1 < args.size() ? args[i + 1] : "";
        if (inline_value) arg.erase(equals);
        for (const auto& option : options) {
            if (arg == option.first) {
                given.*option.second = value;
                if (!inline_value) ++i;
            }
        }
    }

    unlink(kOutput);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    const int status = MakeregMain(static_cast<int>(args.size()), argv.data());

    std::ifstream in(kOutput, std::ios::binary);
    if (status != 0) {
        FUZZ_CHECK(!in, "a refused location left a location.reg");
        return 0;
    }
    if (!in) return 0;  // --help
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const LocationSettings read = quendrel::ParseSettingsText(quendrel::DecodeRegCode(RegCodeIn(file)));
    FUZZ_CHECK(read.FtpHost == given.FtpHost && read.FtpUser == given.FtpUser &&
                   read.FtpPassword == given.FtpPassword && read.RemotePath == given.RemotePath &&
                   read.LocationCode == given.LocationCode,
               "location.reg reads back as other settings");
    FUZZ_CHECK(SettingsRefusal(read).empty(), "the program refuses a location that makereg wrote");
    return 0;
}
