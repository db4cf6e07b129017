// makereg: writes the location.reg that installs a location's settings.
//
//   makereg --host HOST --user USER --password PASSWORD --remote-path PATH
//           --location CODE [--output FILE | --print-regcode]
//
// All five settings must be given, and makereg refuses what Quendrel would
// refuse before an upload; only the FTP host may not be empty. The file goes
// to location.reg in the current folder unless --output names another.
// --print-regcode writes no file: it prints the REGCODE value alone, for the
// installer's command line (msiexec /i Quendrel-....msi REGCODE=...).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "config/settings_rules.h"
#include "makereg/location_reg.h"

namespace {

const char kUsage[] =
    "usage: makereg --host HOST --user USER --password PASSWORD --remote-path PATH\n"
    "               --location CODE [--output FILE | --print-regcode]\n"
    "Writes location.reg (or FILE), which installs the location's settings for Quendrel.\n"
    "With --print-regcode it writes no file and prints the REGCODE value instead, for\n"
    "the installer: msiexec /i Quendrel-<version>.msi REGCODE=<value> /qn\n";

struct Option {
    const char* flag;
    const char* what;
    std::string quendrel::LocationSettings::*field;
};

const Option kOptions[] = {
    {"--host", "FTP host", &quendrel::LocationSettings::FtpHost},
    {"--user", "FTP user", &quendrel::LocationSettings::FtpUser},
    {"--password", "FTP password", &quendrel::LocationSettings::FtpPassword},
    {"--remote-path", "remote path", &quendrel::LocationSettings::RemotePath},
    {"--location", "location code", &quendrel::LocationSettings::LocationCode},
};

int Refuse(const quendrel::Status& refusal) {
    std::cerr << "makereg: " << refusal.description << "\n";
    return 1;
}

int Usage(const std::string& problem) {
    std::cerr << "makereg: " << problem << "\n" << kUsage;
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    quendrel::LocationSettings settings;
    std::map<std::string, bool> given;
    std::string output = "location.reg";
    bool printRegCode = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--print-regcode") {
            printRegCode = true;
            continue;
        }
        if (i + 1 >= argc) return Usage("option " + arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--output") {
            output = value;
            continue;
        }
        bool known = false;
        for (const Option& option : kOptions) {
            if (arg != option.flag) continue;
            const quendrel::Status encodable = quendrel::CheckEncodable(option.what, value);
            if (!encodable.ok()) return Refuse(encodable);
            if (given[option.flag]) return Usage(std::string(option.flag) + " is given twice");
            settings.*option.field = value;
            given[option.flag] = true;
            known = true;
        }
        if (!known) return Usage("unknown option " + arg);
    }
    for (const Option& option : kOptions) {
        if (!given[option.flag]) return Usage(std::string("missing ") + option.flag + " (the " + option.what + ")");
    }

    const quendrel::Status usable =
        quendrel::CheckLocationSettings(settings, quendrel::EmptySettings::FtpHostNeeded);
    if (!usable.ok()) return Refuse(usable);

    const std::string regCode = quendrel::EncodeRegCode(quendrel::SettingsText(settings));
    if (printRegCode) {
        std::cout << regCode << "\n";
        return 0;
    }
    const std::string text = quendrel::makereg::LocationRegFile(regCode);
    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {  // not opened, not written, or not closed
        std::cerr << "makereg: cannot write " << output << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    std::cout << "Wrote " << output << " for location " << settings.LocationCode << ".\n";
    return 0;
}
