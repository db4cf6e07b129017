#include "makereg/location_reg.h"

#include <gtest/gtest.h>

#include <string>

#include "config/location_settings.h"
#include "config/settings_rules.h"

namespace quendrel::makereg {
namespace {

LocationSettings Settings(std::string h, std::string u, std::string p, std::string r, std::string l) {
    return LocationSettings{std::move(h), std::move(u), std::move(p), std::move(r), std::move(l)};
}

void ExpectSame(const LocationSettings& got, const LocationSettings& want) {
    EXPECT_EQ(got.FtpHost, want.FtpHost);
    EXPECT_EQ(got.FtpUser, want.FtpUser);
    EXPECT_EQ(got.FtpPassword, want.FtpPassword);
    EXPECT_EQ(got.RemotePath, want.RemotePath);
    EXPECT_EQ(got.LocationCode, want.LocationCode);
}

// The REGCODE text between the quotes of the file's value line.
std::string RegCodeIn(const std::string& file) {
    const std::string start = "\"REGCODE\"=\"";
    const auto from = file.find(start);
    if (from == std::string::npos) return "<no REGCODE line>";
    const auto begin = from + start.size();
    return file.substr(begin, file.find('"', begin) - begin);
}

TEST(EncodeRegCode, WritesTheTextBackwardsAsUpperCaseHexPairs) {
    EXPECT_EQ(EncodeRegCode("l=X1;h=SERVER1;"), "3B315245565245533D683B31583D6C");
    EXPECT_EQ(EncodeRegCode(""), "");
    EXPECT_EQ(EncodeRegCode(std::string("\xFF\x01", 2)), "01FF");
}

TEST(SettingsText, NamesAllFiveKeysInOrder) {
    EXPECT_EQ(SettingsText(Settings("ftp.example", "bob", "pw", "/in/", "X1")),
              "h=ftp.example;u=bob;p=pw;r=/in/;l=X1;");
    EXPECT_EQ(SettingsText(Settings("", "", "", "", "")), "h=;u=;p=;r=;l=;");
}

TEST(LocationReg, ProgramDecoderGivesTheFiveSettingsBack) {
    const LocationSettings cases[] = {
        Settings("ftp.vossel.example", "loc0111", "S3cr#t!", "/incoming/0111/", "X1"),
        Settings(" padded host ", "User With Blanks", "\\back\\slash\"quote", "C:\\remote\\", "lc"),
        Settings("", "", "", "", "Z9"),
        Settings("h\xE9te", "\x01\x7F", "p", "r", "l"),
    };
    for (const LocationSettings& want : cases) {
        SCOPED_TRACE(want.FtpHost);
        const std::string file = LocationRegFile(EncodeRegCode(SettingsText(want)));
        ExpectSame(ParseSettingsText(DecodeRegCode(RegCodeIn(file))), want);
    }
}

TEST(LocationReg, IsRegedit4WithCrLfLinesTheKeyAndTheValue) {
    const std::string file = LocationRegFile("3B6C");
    EXPECT_EQ(file,
              "REGEDIT4\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VOSSEL\\QUENDREL]\r\n"
              "\"REGCODE\"=\"3B6C\"\r\n"
              "\r\n");
}

TEST(LocationReg, QuotesAndBackslashesInAValueAreEscapedForRegedit) {
    EXPECT_NE(LocationRegFile("a\"b\\c").find("\"REGCODE\"=\"a\\\"b\\\\c\""), std::string::npos);
}

TEST(CheckEncodable, RefusesWhatTheSettingsTextCannotCarry) {
    EXPECT_TRUE(CheckEncodable("FTP host", "ftp.example.com").ok());
    EXPECT_TRUE(CheckEncodable("remote path", "/a b/c:d\\e&f%").ok());
    EXPECT_TRUE(CheckEncodable("FTP user", "").ok());

    const Status semicolon = CheckEncodable("FTP password", "ab;cd");
    ASSERT_FALSE(semicolon.ok());
    EXPECT_NE(semicolon.description.find("FTP password"), std::string::npos) << semicolon.description;
    EXPECT_NE(semicolon.description.find("\";\""), std::string::npos) << semicolon.description;

    const Status equals = CheckEncodable("location code", "=X1");
    ASSERT_FALSE(equals.ok());
    EXPECT_NE(equals.description.find("location code"), std::string::npos) << equals.description;
    EXPECT_NE(equals.description.find("holds \"=\""), std::string::npos) << equals.description;
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
    settings.LocationCode = "YARD 7";
    EXPECT_TRUE(usable(settings));
}

}  // namespace
}  // namespace quendrel::makereg
