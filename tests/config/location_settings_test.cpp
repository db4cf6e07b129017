#include "config/location_settings.h"

#include <gtest/gtest.h>

#include "config/regcode.h"
#include "config/settings_rules.h"
#include "support/fake_registry.h"

namespace quendrel {
namespace {

using testing::FakeRegistry;
using testing::RegNumber;
using testing::RegText;

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

TEST(LoadLocation, RefusesWithoutAUsableValue) {
    FakeRegistry none;
    EXPECT_FALSE(LoadLocationSettings(none));

    // A text of no bytes at all holds no text.
    FakeRegistry noBytes;
    noBytes.PutRegCode({RegValue::Type::Text, ""});
    EXPECT_FALSE(LoadLocationSettings(noBytes));

    FakeRegistry empty;
    empty.PutRegCode(RegText(""));
    EXPECT_FALSE(LoadLocationSettings(empty));

    FakeRegistry unsupportedType;
    unsupportedType.PutRegCode({RegValue::Type::Other, "3B"});
    EXPECT_FALSE(LoadLocationSettings(unsupportedType));
}

TEST(LoadLocation, NumberIsDecodedFromItsDecimalText) {
    // A number is present, so the program starts, whatever its digits decode to.
    FakeRegistry positive;
    positive.PutRegCode(RegNumber(6172));
    EXPECT_TRUE(LoadLocationSettings(positive));
    EXPECT_EQ(DecodeRegCode(std::to_string(6172)), "ra");

    FakeRegistry negative;
    negative.PutRegCode(RegNumber(-42));
    EXPECT_TRUE(LoadLocationSettings(negative));
    EXPECT_EQ(DecodeRegCode(std::to_string(-42)), std::string("\x02\x00", 2));  // "-4" reads as 0
}

TEST(LoadLocation, ReadsThe32BitViewFirstAndFallsBackTo64) {
    const std::string code32 = EncodeRegCode("l=THIRTYTWO;");
    const std::string code64 = EncodeRegCode("l=SIXTYFOUR;");

    FakeRegistry only64;
    only64.PutRegCode(RegText(code64), RegView::Bits64);
    ASSERT_TRUE(LoadLocationSettings(only64));
    EXPECT_EQ(LoadLocationSettings(only64)->LocationCode, "SIXTYFOUR");

    FakeRegistry both;
    both.PutRegCode(RegText(code32));
    both.PutRegCode(RegText(code64), RegView::Bits64);
    EXPECT_EQ(LoadLocationSettings(both)->LocationCode, "THIRTYTWO");
    ASSERT_EQ(both.asked.size(), 1u);
    EXPECT_EQ(both.asked[0].subkey, "SOFTWARE\\VOSSEL\\QUENDREL");
    EXPECT_EQ(both.asked[0].name, "REGCODE");
    EXPECT_EQ(both.asked[0].view, RegView::Bits32);

    // A 32-bit value of no bytes counts as none.
    FakeRegistry keyWithout32;
    keyWithout32.PutRegCode({RegValue::Type::Text, ""});
    keyWithout32.PutRegCode(RegText(code64), RegView::Bits64);
    EXPECT_EQ(LoadLocationSettings(keyWithout32)->LocationCode, "SIXTYFOUR");

    // An empty value in the 32-bit view is present, not missing: refused.
    FakeRegistry empty32;
    empty32.PutRegCode(RegText(""));
    empty32.PutRegCode(RegText(code64), RegView::Bits64);
    EXPECT_FALSE(LoadLocationSettings(empty32));
}

}  // namespace
}  // namespace quendrel
