#include "config/settings_rules.h"

#include <gtest/gtest.h>

#include "config/regcode.h"

namespace quendrel {
namespace {

TEST(FtpHostRule, TakesHostNamesIpv4AndBracketedIpv6WithAnOptionalPort) {
    struct Case {
        const char* text;
        const char* host;  // nullptr: refused
        int port;
    };
    const Case cases[] = {
        {"ftp.example.com", "ftp.example.com", 21},
        {"ftp.example.com:2121", "ftp.example.com", 2121},
        {"ftp-1.example.com", "ftp-1.example.com", 21},
        {"SERVER1", "SERVER1", 21},
        {"127.0.0.1:65535", "127.0.0.1", 65535},
        {"127.0.0.1:1", "127.0.0.1", 1},
        {"[::1]:2121", "::1", 2121},
        {"[fe80::1:2]", "fe80::1:2", 21},
        {"[::ffff:192.0.2.1]:21", "::ffff:192.0.2.1", 21},
        // The typos an IT person makes: refused, never taken for something else.
        {"127.0.0,1:2121", nullptr, 0},
        {"127.0.0.1 2121", nullptr, 0},
        {"ftp.example.com,2121", nullptr, 0},
        {"ftp.example.com/incoming", nullptr, 0},
        {"user@ftp.example.com", nullptr, 0},
        {"127.0.0.1:2121:", nullptr, 0},
        {"127.0.0.1::2121", nullptr, 0},
        {"::1", nullptr, 0},  // IPv6 without brackets
        {"2001:db8::7", nullptr, 0},
        {"\\\\server", nullptr, 0},
        {"ftp..example.com", nullptr, 0},
        {" ftp.example.com", nullptr, 0},
        {"ftp.example.com.", nullptr, 0},
        {"127.0.0", nullptr, 0},
        {"256.1.1.1", nullptr, 0},
        {"", nullptr, 0},
        {"host:", nullptr, 0},
        {"host:0", nullptr, 0},
        {"host:65536", nullptr, 0},
        {"host:21x", nullptr, 0},
        {":21", nullptr, 0},
        {"[::1]:", nullptr, 0},
        {"[::1]x", nullptr, 0},
        {"[::1", nullptr, 0},
        {"[]:21", nullptr, 0},
        {"[host]:21", nullptr, 0},
        {"host\r\n", nullptr, 0},
    };
    for (const Case& c : cases) {
        const auto endpoint = ParseFtpHost(c.text);
        const Status checked = CheckFtpHost(c.text);
        if (!c.host) {
            EXPECT_FALSE(endpoint.has_value()) << c.text;
            EXPECT_NE(checked.description.find(std::string("\"") + c.text + "\""), std::string::npos) << c.text;
            continue;
        }
        ASSERT_TRUE(endpoint.has_value()) << c.text;
        EXPECT_EQ(endpoint->host, c.host) << c.text;
        EXPECT_EQ(endpoint->port, c.port) << c.text;
        EXPECT_TRUE(checked.ok()) << c.text;
    }
    EXPECT_NE(CheckFtpHost("ftp.example.com/incoming").description.find("remote path"), std::string::npos);
}

TEST(CheckLocationSettings, AWorkingLocationNeedsAHostAndAFileNameSafeCode) {
    const auto usable = [](const LocationSettings& s) {
        return CheckLocationSettings(s, EmptySettings::FtpHostNeeded).ok();
    };
    LocationSettings settings{"ftp.example.com", "", "", "", "X1"};
    EXPECT_TRUE(usable(settings));  // user, password and remote path may be empty

    LocationSettings noHost = settings;
    noHost.FtpHost.clear();
    EXPECT_FALSE(usable(noHost));
    EXPECT_TRUE(CheckLocationSettings(noHost, EmptySettings::Allowed).ok()) << "start-up allows it";
    for (const char* host : {"ftp.example.com:99999", "ftp.example.com:", "host:21:"}) {
        EXPECT_FALSE(usable({host, "", "", "", "X1"})) << host;  // Quendrel would refuse every upload
    }

    LocationSettings noCode = settings;
    noCode.LocationCode.clear();
    EXPECT_TRUE(usable(noCode)) << "the program uploads without a location code";

    LocationSettings twoLines = settings;
    twoLines.FtpPassword = "two\r\nlines";
    EXPECT_FALSE(usable(twoLines));

    for (const char* code : {"X/1", "X:1", "X*1", "X?1", "X<1", "X|1", "X\"1", "X\\1", "X\t1"}) {
        LocationSettings unsafe = settings;
        unsafe.LocationCode = code;
        EXPECT_FALSE(usable(unsafe)) << code;
    }
    settings.LocationCode = std::string(kMaxLocationCodeLength, 'L');
    EXPECT_TRUE(usable(settings));
    settings.LocationCode += "L";
    EXPECT_FALSE(usable(settings)) << "too long for a file name";
    for (const char* code : {"YARD 7", "X1 ", "X1."}) {
        settings.LocationCode = code;
        EXPECT_FALSE(usable(settings)) << "a blank or a last dot, which nobody sees in a batch's name: " << code;
    }
}

TEST(CheckLocationSettings, TlsIsEmptyOrOneAndAPinIs64HexDigitsWithTls) {
    const std::string pin(64, 'a');
    const auto refusal = [](const std::string& t, const std::string& k) {
        LocationSettings s{"ftp.example.com", "", "", "", "X1", t, k};
        return CheckLocationSettings(s, EmptySettings::Allowed).description;
    };
    EXPECT_EQ(refusal("", ""), "");
    EXPECT_EQ(refusal("1", ""), "");
    EXPECT_EQ(refusal("1", pin), "");
    EXPECT_NE(refusal("2", "").find("TLS setting (t) is \"2\""), std::string::npos);
    EXPECT_NE(refusal("1", pin + "0").find("server key pin (k)"), std::string::npos);
    EXPECT_NE(refusal("1", std::string(63, 'a') + "g").find("server key pin (k)"), std::string::npos);
    EXPECT_NE(refusal("", pin).find("needs FTP over TLS"), std::string::npos);
    // The settings text carries both only where set, and libcurl gets the pin in base64.
    EXPECT_EQ(SettingsText({"h", "u", "p", "r", "l", "1", pin}), "h=h;u=u;p=p;r=r;l=l;t=1;k=" + pin + ";");
    EXPECT_EQ(CurlPinnedKey("4f5a9e812bd7915768084657ed6b08b3075c461448a5af4bb1e4669c9da21544"),
              "sha256//T1qegSvXkVdoCEZX7WsIswdcRhRIpa9LseRmnJ2iFUQ=");
}

TEST(CheckRegCode, RefusesWhatIsNoPairsOfHexDigitsAndSaysWhatIsWrong) {
    const std::string good = EncodeRegCode("h=ftp.example.com;l=X1;");
    const struct {
        std::string regCode, says;
    } damaged[] = {
        {"\"" + good + "\"", "quotation marks"},
        {good.substr(0, 10) + " " + good.substr(10), "remove the blank"},
        {good + "G1", "no hexadecimal digit (0 to 9"},
        {good.substr(1), "odd number of digits"},
        {good + "0A", "control character"},
        {"zz", "no hexadecimal digit"},
    };
    for (const auto& form : damaged) {
        const Status checked = CheckRegCode(form.regCode);
        EXPECT_NE(checked.description.find(form.says), std::string::npos) << form.regCode << ": " << checked.description;
    }
    EXPECT_TRUE(CheckRegCode(good).ok());
    EXPECT_TRUE(CheckRegCode(EncodeRegCode(std::string("p=\xE9t\xE9;"))).ok()) << "8-bit characters are settings";
}

TEST(CheckRegCode, MakeregsCheckFindsACutAtEitherEndAndAChangedDigit) {
    const std::string checked = EncodeRegCode(CheckedSettingsText({"ftp.example.com", "u", "p", "/in/", "X1"}));
    EXPECT_TRUE(CheckRegCode(checked).ok());
    std::string changed = checked;
    changed[40] = changed[40] == '4' ? '5' : '4';
    for (const std::string& cut : {checked.substr(4), checked.substr(0, checked.size() - 4), changed,
                                   checked.substr(22), checked.substr(0, checked.size() - 22)}) {
        EXPECT_NE(CheckRegCode(cut).description.find("check does not match"), std::string::npos) << cut;
    }
    // Without check pairs, as every REGCODE made before, it is read as it always was.
    EXPECT_TRUE(CheckRegCode(EncodeRegCode(SettingsText({"ftp.example.com", "u", "p", "/in/", "X1"}))).ok());
    EXPECT_EQ(ParseSettingsText(DecodeRegCode(checked)).LocationCode, "X1");
}

}  // namespace
}  // namespace quendrel
