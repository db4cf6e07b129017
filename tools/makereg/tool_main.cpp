// makereg: writes the location.reg that installs a location's settings.
//
//   makereg --host HOST --user USER --password PASSWORD --remote-path PATH
//           --location CODE [--tls [--pin PIN]] [--output FILE | --print-regcode]
//   makereg --pin-of CERTIFICATE
//
// All five settings must be given, and makereg refuses what Quendrel would
// refuse before an upload; only the FTP host may not be empty. The file goes
// to location.reg in the current folder unless --output names another.
// --print-regcode writes no file: it prints the REGCODE value alone, for the
// installer's command line (msiexec /i Quendrel-....msi REGCODE=...).
// --tls makes the location use FTP over TLS; --pin pins the server's public
// key, whose pin --pin-of prints from the server's certificate file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "config/settings_rules.h"
#include "makereg/location_reg.h"
#include "makereg/server_key.h"

namespace {

const char kUsage[] =
    "usage: makereg --host HOST --user USER --password PASSWORD --remote-path PATH\n"
    "               --location CODE [--tls [--pin PIN]] [--output FILE | --print-regcode]\n"
    "       makereg --pin-of CERTIFICATE\n"
    "Writes location.reg (or FILE), which installs the location's settings for Quendrel.\n"
    "With --print-regcode it writes no file and prints the REGCODE value instead, for\n"
    "the installer: msiexec /i Quendrel-<version>.msi REGCODE=<value> /qn\n"
    "--tls: uploads use FTP over TLS, and nothing goes to a server that does not offer it.\n"
    "  The server's certificate must then come from an issuer Windows trusts, for the\n"
    "  server's name, unless --pin gives the SHA-256 of the server's public key (64\n"
    "  hexadecimal digits): then that key alone is accepted, as for a self-signed server.\n"
    "--pin-of prints that pin from the server's certificate file (PEM or DER).\n";

int PrintPin(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::cerr << "makereg: cannot read " << path << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string pin;
    const quendrel::Status read = quendrel::makereg::ServerKeyPin(bytes, pin);
    if (!read.ok()) {
        std::cerr << "makereg: " << path << ": " << read.description << "\n";
        return 1;
    }
    std::cout << pin << "\n";
    return 0;
}

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
    {"--pin", "server key pin", &quendrel::LocationSettings::ServerKeyPin},
};
// Options that may be left out.
bool Optional(const Option& option) { return std::string(option.flag) == "--pin"; }

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
        if (arg == "--tls") {
            settings.FtpTls = quendrel::kTlsRequired;
            continue;
        }
        if (i + 1 >= argc) return Usage("option " + arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--pin-of") return PrintPin(value);
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
        if (!given[option.flag] && !Optional(option))
            return Usage(std::string("missing ") + option.flag + " (the " + option.what + ")");
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
