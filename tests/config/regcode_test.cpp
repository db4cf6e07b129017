#include "config/regcode.h"

#include <gtest/gtest.h>

namespace quendrel {
namespace {

TEST(RegCodeDecoding, GivesLocationCodeAndHostAndLeavesTheOtherThreeEmpty) {
    EXPECT_EQ(DecodeRegCode("3B315245565245533D683B31583D6C"), "l=X1;h=SERVER1;");
    const LocationSettings s = ParseSettingsText(DecodeRegCode("3B315245565245533D683B31583D6C"));
    EXPECT_EQ(s.LocationCode, "X1");
    EXPECT_EQ(s.FtpHost, "SERVER1");
    EXPECT_EQ(s.FtpUser, "");
    EXPECT_EQ(s.FtpPassword, "");
    EXPECT_EQ(s.RemotePath, "");
}

TEST(RegCodeDecoding, HexDigitsInEitherCaseAndAllByteValues) {
    EXPECT_EQ(HexToText("6c3D"), "l=");
    EXPECT_EQ(HexToText("ff00"), std::string("\xff\x00", 2));
    std::string all;
    for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
    EXPECT_EQ(DecodeRegCode(EncodeRegCode(all)), all);
}

TEST(RegCodeDecoding, OddLengthsRoundHalvesToEven) {
    EXPECT_EQ(HexToText("4"), "");                  // 0.5 pairs -> 0
    EXPECT_EQ(HexToText("414"), std::string("A\x04"));   // 1.5 -> 2, the last of one digit
    EXPECT_EQ(HexToText("41424"), "AB");            // 2.5 -> 2, last digit ignored
    EXPECT_EQ(HexToText("4142434"), std::string("ABC\x04"));  // 3.5 -> 4
    EXPECT_EQ(HexToText("414243444"), "ABCD");      // 4.5 -> 4
}

TEST(RegCodeDecoding, PairsThatAreNotHex) {
    EXPECT_EQ(HexToText("zz"), std::string(1, '\0'));
    EXPECT_EQ(HexToText("4z"), std::string(1, '\x04'));  // reading stops at z
    EXPECT_EQ(HexToText(" 4"), std::string(1, '\x04'));  // blanks are skipped
    EXPECT_EQ(HexToText("\t\n"), std::string(1, '\0'));
    // Nothing recognised: every field stays empty, which is not a refusal.
    const LocationSettings s = ParseSettingsText(DecodeRegCode("zzzz"));
    EXPECT_EQ(s.FtpHost + s.FtpUser + s.FtpPassword + s.RemotePath + s.LocationCode, "");
}

TEST(SettingsText, NextSettingTakesOnePairAndLeavesTheRest) {
    std::string text = "h=a=b;u=x";
    Setting first = NextSetting(text);
    EXPECT_EQ(first.key, "h");
    EXPECT_EQ(first.value, "ab");  // a second "=" is dropped
    EXPECT_EQ(text, "u=x");
    Setting second = NextSetting(text);
    EXPECT_EQ(second.key, "u");
    EXPECT_EQ(second.value, "x");
    EXPECT_EQ(text, "");
}

TEST(SettingsText, KeysAreExactAndValuesUntouched) {
    EXPECT_EQ(ParseSettingsText("H=x;").FtpHost, "");
    EXPECT_EQ(ParseSettingsText(" h=x;").FtpHost, "");
    EXPECT_EQ(ParseSettingsText("h= x;").FtpHost, " x");
    EXPECT_EQ(ParseSettingsText("h=one;h=two;").FtpHost, "two");
    EXPECT_EQ(ParseSettingsText("h=x;h;").FtpHost, "");  // a pair without "=" empties the field
    const LocationSettings s = ParseSettingsText("=x;;;u=Bob ;p=P@ss w0rd;r=/in/;l=X1");
    EXPECT_EQ(s.FtpUser, "Bob ");
    EXPECT_EQ(s.FtpPassword, "P@ss w0rd");
    EXPECT_EQ(s.RemotePath, "/in/");
    EXPECT_EQ(s.LocationCode, "X1");  // the last pair needs no ";"
}

TEST(EncodeRegCode, WritesTheTextBackwardsAsUpperCaseHexPairs) {
    EXPECT_EQ(EncodeRegCode("l=X1;h=SERVER1;"), "3B315245565245533D683B31583D6C");
    EXPECT_EQ(EncodeRegCode(""), "");
    EXPECT_EQ(EncodeRegCode(std::string("\xFF\x01", 2)), "01FF");
}

TEST(SettingsText, NamesAllFiveKeysInOrder) {
    EXPECT_EQ(SettingsText(LocationSettings{"ftp.example", "bob", "pw", "/in/", "X1"}),
              "h=ftp.example;u=bob;p=pw;r=/in/;l=X1;");
    EXPECT_EQ(SettingsText(LocationSettings{}), "h=;u=;p=;r=;l=;");
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

}  // namespace
}  // namespace quendrel
