// The real advapi32 reader against values put in by Wine's own regedit/reg.
#include <gtest/gtest.h>

#include "config/location_settings.h"
#include "platform/registry_win.h"
#include "support/win_support_win.h"

namespace quendrel {
namespace {

using testing::DeleteLocationKey;
using testing::ImportRegistry;
using testing::LocationReg;

constexpr const char* kX1OnServer1 = "\"REGCODE\"=\"3B315245565245533D683B31583D6C\"";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteLocationKey(); }
    void TearDown() override { DeleteLocationKey(); }

    // REGCODE as stored in the 64-bit view.
    std::optional<RegValue> Query(RegView view = RegView::Bits64) {
        return registry.TryGetValue(kLocationSubkey, kLocationValueName, view, RegAccess::Query);
    }

    Win32Registry registry;
};

TEST_F(RegistryTest, StringValueWithoutItsTerminatingNul) {
    ImportRegistry(LocationReg(kX1OnServer1));
    const std::optional<RegValue> value = Query();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegValue::Type::Text);
    EXPECT_EQ(value->bytes, std::string("3B315245565245533D683B31583D6C") + '\0');
    EXPECT_EQ(RegCodeInView(registry, RegView::Bits64), "3B315245565245533D683B31583D6C");

    auto settings = LoadLocationSettings(registry);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->LocationCode, "X1");
    EXPECT_EQ(settings->FtpHost, "SERVER1");
}

TEST_F(RegistryTest, DwordBecomesASignedNumber) {
    ImportRegistry(LocationReg("\"REGCODE\"=dword:0000181c"));
    ASSERT_TRUE(Query());
    EXPECT_EQ(Query()->type, RegValue::Type::Number);
    EXPECT_EQ(RegCodeInView(registry, RegView::Bits64), "6172");
    EXPECT_TRUE(LoadLocationSettings(registry));

    ImportRegistry(LocationReg("\"REGCODE\"=dword:ffffffd6"));
    EXPECT_EQ(RegCodeInView(registry, RegView::Bits64), "-42");
    EXPECT_TRUE(LoadLocationSettings(registry));
}

TEST_F(RegistryTest, EmptyStringIsRefused) {
    ImportRegistry(LocationReg("\"REGCODE\"=\"\""));
    EXPECT_EQ(RegCodeInView(registry, RegView::Bits64), "");
    EXPECT_FALSE(LoadLocationSettings(registry));
}

TEST_F(RegistryTest, MissingKeyOrValueIsRefused) {
    EXPECT_FALSE(Query());
    EXPECT_FALSE(LoadLocationSettings(registry));

    ImportRegistry(LocationReg("\"OTHER\"=\"41\""));
    EXPECT_FALSE(Query());
    EXPECT_FALSE(LoadLocationSettings(registry));
}

TEST_F(RegistryTest, OtherTypesCountAsMissing) {
    ImportRegistry(LocationReg("\"REGCODE\"=hex:33,42,33,31"));  // REG_BINARY
    ASSERT_TRUE(Query());
    EXPECT_EQ(Query()->type, RegValue::Type::Other);
    EXPECT_EQ(Query()->bytes, "3B31");
    EXPECT_FALSE(RegCodeInView(registry, RegView::Bits64));
    EXPECT_FALSE(LoadLocationSettings(registry));
}

TEST_F(RegistryTest, ValueOnlyInThe64BitView) {
    ImportRegistry(LocationReg(kX1OnServer1));
    EXPECT_FALSE(Query(RegView::Bits32));
    auto settings = LoadLocationSettings(registry);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->LocationCode, "X1");
}

TEST_F(RegistryTest, ValueOnlyInThe32BitView) {
    ImportRegistry(LocationReg(kX1OnServer1), /*view32=*/true);
    EXPECT_FALSE(Query(RegView::Bits64));
    auto settings = LoadLocationSettings(registry);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->FtpHost, "SERVER1");
}

TEST_F(RegistryTest, ValueLongerThanTheFirstBufferIsReadWhole) {
    const std::string longText(5000, 'A');
    ImportRegistry(LocationReg("\"REGCODE\"=\"" + longText + "\""));
    EXPECT_EQ(RegCodeInView(registry, RegView::Bits64), longText);
}

TEST_F(RegistryTest, The32BitViewWinsWhenBothHoldAValue) {
    ImportRegistry(LocationReg("\"REGCODE\"=\"3B32333D6C\""), /*view32=*/true);  // l=32;
    ImportRegistry(LocationReg("\"REGCODE\"=\"3B34363D6C\""));                   // l=64;
    auto settings = LoadLocationSettings(registry);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->LocationCode, "32");
}

}  // namespace
}  // namespace quendrel
