#include "makereg/location_reg.h"

#include "config/location_settings.h"

namespace quendrel::makereg {

namespace {

// A string as regedit reads it between double quotes.
std::string RegString(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted.push_back('\\');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

}  // namespace

std::string LocationRegFile(const std::string& regCode) {
    const std::string crlf = "\r\n";
    return "REGEDIT4" + crlf + crlf + "[HKEY_LOCAL_MACHINE\\" + kLocationSubkey + "]" + crlf +
           RegString(kLocationValueName) + "=" + RegString(regCode) + crlf + crlf;
}

}  // namespace quendrel::makereg
