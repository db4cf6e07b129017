// makereg: writes the location.reg that installs a location's settings for
// Quendrel, shows what a REGCODE holds, and takes the pin of a server's key
// from its certificate. What it refuses, Quendrel would refuse too (the
// settings rules are the program's own), and more: the slips that Quendrel
// would take but send to the wrong place.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/regcode.h"
#include "config/settings_rules.h"
#include "makereg/location_reg.h"
#include "makereg/pc_registry.h"
#include "makereg/server_key.h"
#include "makereg/show_settings.h"
#include "platform/files.h"
#include "platform/ftp_session.h"
#include "product.h"
#include "upload/ftp_upload.h"
#include "upload/upload_batch.h"

namespace {

using quendrel::LocationSettings;
using quendrel::Status;

const char kUsage[] =
    "makereg writes location.reg, which installs a location's settings for Quendrel.\n"
    "\n"
    "  makereg --host HOST --user USER --password PASSWORD --remote-path FOLDER/ --location CODE\n"
    "          [--tls [--pin PIN]] [--output FILE [--force] | --print-regcode]\n"
    "  makereg --show [REGCODE | FILE]\n"
    "  makereg --pin-of CERTIFICATE\n"
    "  makereg --version | --help\n"
    "\n"
    "An option's value follows it (--host ftp.example.com) or an equals sign (--host=ftp.example.com);\n"
    "a value that starts with -- must be given with the equals sign.\n"
    "\n"
    "--host       the FTP server: a host name (letters, digits, hyphens and dots), a dotted IPv4\n"
    "             address or an IPv6 address in brackets, each with an optional :port (1 to 65535),\n"
    "             for example ftp.example.com:2121 or [2001:db8::1]:21. Required.\n"
    "--user, --password\n"
    "             the FTP account; either may be empty (\"\"). Neither may hold ; or =.\n"
    "--remote-path\n"
    "             the folder on the server that receives the batches, ending in / (/incoming/), or\n"
    "             empty (\"\") for the account's own folder. The batch's name is put right after it.\n"
    "--remote-prefix\n"
    "             instead of --remote-path: a text put in front of every batch's name as it is\n"
    "             (/incoming/loc7- stores /incoming/loc7-2612091209X1.TXT).\n"
    "--location   the location's code: it goes into every scan and every batch's name, so it cannot\n"
    "             hold \\ / : * ? \" < > | or a control character, and has at most 241 characters.\n"
    "--tls        uploads use FTP over TLS; a server that does not offer it gets nothing. The\n"
    "             server's certificate must come from an issuer Windows trusts, for its name.\n"
    "--pin        with --tls: the SHA-256 of the server's public key (64 hexadecimal digits), for a\n"
    "             self-signed server; then only that key is accepted. --pin-of prints it.\n"
    "--output     the file to write (location.reg in the current folder by default). A file that is\n"
    "             there already is kept unless --force is given.\n"
    "--print-regcode\n"
    "             writes no file and prints the REGCODE value, for the installer:\n"
    "             msiexec /i Quendrel-<version>.msi REGCODE=<value> /qn\n"
    "--show       prints the settings a REGCODE holds, given as the value, in a location.reg FILE, or,\n"
    "             on Windows without a value, in this PC's registry (both views). The password is\n"
    "             never shown.\n"
    "--pin-of     prints the pin of the server's key from its certificate file (PEM or DER).\n"
    "\n"
    "The password is only encoded in location.reg, not encrypted: keep the file safe.\n"
    "\n"
    "Exit codes: 0 done (for --show: Quendrel can start and send with the settings shown); 1 a value or\n"
    "file refused (the message says which and why); 2 an option missing, unknown or without its value.\n";

// The options that take a value, and where it goes.
struct Option {
    const char* flag;
    const char* what;
    std::string LocationSettings::*field;
};
const Option kSettings[] = {
    {"--host", "FTP server", &LocationSettings::FtpHost},
    {"--user", "FTP user", &LocationSettings::FtpUser},
    {"--password", "FTP password", &LocationSettings::FtpPassword},
    {"--remote-path", "remote path", &LocationSettings::RemotePath},
    {"--remote-prefix", "remote path", &LocationSettings::RemotePath},
    {"--location", "location code", &LocationSettings::LocationCode},
    {"--pin", "server key pin", &LocationSettings::ServerKeyPin},
};
const char* const kOtherValueOptions[] = {"--output", "--pin-of"};
const char* const kFlags[] = {"--tls", "--force", "--print-regcode", "--help", "--version", "--show"};

int Refuse(const std::string& problem) {
    std::cerr << "makereg: " << problem << "\n";
    return 1;
}

int Usage(const std::string& problem) {
    std::cerr << "makereg: " << problem << "\nmakereg --help tells every option and rule.\n";
    return 2;
}

// The batch name of this minute, as an example of where a batch goes.
std::string ExampleBatchName(const std::string& locationCode) {
    const std::time_t now = std::time(nullptr);
    const std::tm* t = std::localtime(&now);
    const quendrel::LocalTime time{t->tm_year + 1900, t->tm_mon + 1, t->tm_mday, t->tm_hour, t->tm_min, t->tm_sec};
    return quendrel::UploadFileName(time, locationCode);
}

int PrintPin(const std::string& path) {
    std::string bytes, pin;
    const Status opened = quendrel::SystemFileSystem().ReadAll(path, bytes);
    if (!opened.ok()) return Refuse("cannot read " + path + ": " + opened.description);
    const Status read = quendrel::makereg::ServerKeyPin(bytes, pin);
    if (!read.ok()) return Refuse(path + ": " + read.description);
    std::cout << pin << "\n";
    return 0;
}

// Exits 0 when Quendrel can start and send with the settings shown.
int Show(const std::optional<std::string>& source) {
    std::string regCode, file;
    if (!source) {
        const auto registry = quendrel::makereg::PcRegistry();
        if (!registry) return Usage("--show needs a REGCODE or a location.reg here; only on Windows does it read the PC's registry");
        Status usable;
        std::cout << quendrel::makereg::DescribeRegistry(*registry, usable);
        return usable.ok() ? 0 : 1;
    }
    if (quendrel::SystemFileSystem().ReadAll(*source, file).ok()) {
        const Status found = quendrel::makereg::RegCodeOfRegFile(file, regCode);
        if (!found.ok()) return Refuse(*source + ": " + found.description);
    } else {
        regCode = *source;
        if (regCode.empty()) return Refuse("\"\" is neither a file nor a REGCODE (pairs of hexadecimal digits).");
    }
    std::string described;
    const Status usable = quendrel::makereg::DescribeRegCode(regCode, described);
    if (described.empty()) return Refuse(usable.description);
    std::cout << described;
    return usable.ok() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> values;  // option -> value, each given once
    std::map<std::string, bool> flags;
    std::optional<std::string> showSource;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::optional<std::string> value;
        if (const auto equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.erase(equals);
        }
        if (arg == "-h" || arg == "/?") arg = "--help";
        bool isFlag = false, takesValue = false;
        for (const char* flag : kFlags) isFlag |= arg == flag;
        for (const Option& option : kSettings) takesValue |= arg == option.flag;
        for (const char* option : kOtherValueOptions) takesValue |= arg == option;
        if (arg == "--show") {
            if (value) showSource = value;
            else if (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0) showSource = argv[++i];
            flags[arg] = true;
            continue;
        }
        if (isFlag) {
            if (value) return Usage(arg + " takes no value");
            flags[arg] = true;
            continue;
        }
        if (!takesValue) return Usage("unknown option " + arg);
        if (!value) {
            if (i + 1 >= argc || std::string(argv[i + 1]).rfind("--", 0) == 0)
                return Usage(arg + " needs a value; did you forget it?");
            value = argv[++i];
        }
        if (values.count(arg)) return Usage(arg + " is given twice");
        values[arg] = *value;
    }

    if (argc == 1 || flags["--help"]) {
        std::cout << kUsage;
        return 0;
    }
    if (flags["--version"]) {
        std::cout << "makereg " << QUENDREL_VERSION_MAJOR << "." << QUENDREL_VERSION_MINOR << "."
                  << QUENDREL_VERSION_REVISION << ", for " << quendrel::kAppTitle << "\n";
        return 0;
    }
    if (values.count("--pin-of")) return PrintPin(values["--pin-of"]);
    if (flags["--show"]) return Show(showSource);

    LocationSettings settings;
    if (values.count("--remote-path") && values.count("--remote-prefix"))
        return Usage("give --remote-path or --remote-prefix, not both");
    for (const Option& option : kSettings) {
        const auto given = values.find(option.flag);
        if (given == values.end()) continue;
        const Status encodable = quendrel::CheckEncodable(option.what, given->second);
        if (!encodable.ok()) return Refuse(encodable.description);
        settings.*option.field = given->second;
    }
    for (const char* required : {"--host", "--user", "--password", "--location"}) {
        if (!values.count(required)) return Usage(std::string("missing ") + required);
    }
    if (!values.count("--remote-path") && !values.count("--remote-prefix"))
        return Usage("missing --remote-path (the folder for the batches, ending in /; \"\" for the account's own)");
    if (flags["--tls"]) settings.FtpTls = quendrel::kTlsRequired;
    if (flags["--print-regcode"] && values.count("--output"))
        return Usage("--print-regcode writes no file, so --output has no place beside it");

    const Status usable = quendrel::CheckLocationSettings(settings, quendrel::EmptySettings::AllNeeded);
    if (!usable.ok()) return Refuse(usable.description);
    const std::string& path = settings.RemotePath;
    if (path.find('\\') != std::string::npos) {
        std::string slashed = path;
        std::replace(slashed.begin(), slashed.end(), '\\', '/');
        return Refuse("The remote path \"" + path + "\" holds \"\\\": the folders on an FTP server are parted by \"/\". "
                      "Use /: \"" + slashed + "\".");
    }
    if (!path.empty() && (path.front() == ' ' || path.back() == ' '))
        return Refuse("The remote path \"" + path + "\" has a blank at its start or end: remove the blank.");
    if (values.count("--remote-path") && !path.empty() && path.back() != '/') {
        const std::string example = quendrel::RemoteFileName(path, ExampleBatchName(settings.LocationCode));
        return Refuse("The remote path \"" + path + "\" does not end in \"/\", so a batch would be stored as \"" +
                      example + "\", beside the folder rather than in it. Give \"" + path +
                      "/\" for the folder, or --remote-prefix \"" + path + "\" if the names are meant to start so.");
    }

    const std::string regCode = quendrel::EncodeRegCode(quendrel::CheckedSettingsText(settings));
    if (flags["--print-regcode"]) {
        std::cout << regCode << "\n";
        return 0;
    }
    const std::string output = values.count("--output") ? values["--output"] : "location.reg";
    quendrel::IFileSystem& files = quendrel::SystemFileSystem();
    if (files.Exists(output) && !flags["--force"])
        return Refuse(output + " is there already and was kept; give --force to replace it, or --output another file.");
    const Status written = files.WriteNew(output, quendrel::makereg::LocationRegFile(regCode));
    if (!written.ok()) return Refuse("cannot write " + output + ": " + written.description);
    std::cout << "Wrote " << output << " for location " << settings.LocationCode << ": server "
              << quendrel::makereg::ServerShown(settings.FtpHost) << ", user " << quendrel::makereg::Shown(settings.FtpUser)
              << ", batches to " << quendrel::makereg::BatchPlace(settings)
              << (settings.FtpTls.empty() ? ", plain FTP" : settings.ServerKeyPin.empty() ? ", FTP over TLS"
                                                                                            : ", FTP over TLS to the pinned key")
              << (settings.FtpPassword.empty() ? ".\n" : ". The password is in the file: keep it safe.\n");
    return 0;
}
