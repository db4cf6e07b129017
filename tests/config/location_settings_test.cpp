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
