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

    // Reads REGCODE from the 64-bit view as the program's reader does.
    std::int32_t Query(RegValue& value, RegView view = RegView::Bits64) {
        auto key = registry.OpenLocalMachineKey(kLocationSubkey, view);
        if (!key) return -1000;
        return key->QueryRegValue(kLocationValueName, value);
    }

    Win32Registry registry;
};

TEST_F(RegistryTest, StringValueWithoutItsTerminatingNul) {
    ImportRegistry(LocationReg(kX1OnServer1));
    RegValue value;
    EXPECT_EQ(Query(value), 0);
    ASSERT_EQ(value.kind, RegValue::Kind::Text);
    EXPECT_EQ(value.text, "3B315245565245533D683B31583D6C");

    auto settings = LoadLocationSettings(registry);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->LocationCode, "X1");
    EXPECT_EQ(settings->FtpHost, "SERVER1");
}

TEST_F(RegistryTest, DwordBecomesASignedNumber) {
    ImportRegistry(LocationReg("\"REGCODE\"=dword:0000181c"));
    RegValue value;
    EXPECT_EQ(Query(value), 0);
    ASSERT_EQ(value.kind, RegValue::Kind::Number);
    EXPECT_EQ(value.number, 6172);
    EXPECT_TRUE(LoadLocationSettings(registry));

    ImportRegistry(LocationReg("\"REGCODE\"=dword:ffffffd6"));
    RegValue negative;
    EXPECT_EQ(Query(negative), 0);
    EXPECT_EQ(negative.number, -42);
    EXPECT_TRUE(LoadLocationSettings(registry));
}

TEST_F(RegistryTest, EmptyStringIsRefused) {
    ImportRegistry(LocationReg("\"REGCODE\"=\"\""));
    RegValue value;
    EXPECT_EQ(Query(value), 0);
    EXPECT_EQ(value.kind, RegValue::Kind::Text);
    EXPECT_EQ(value.text, "");
    EXPECT_FALSE(LoadLocationSettings(registry));
}

TEST_F(RegistryTest, MissingKeyOrValueIsRefused) {
    EXPECT_EQ(registry.OpenLocalMachineKey(kLocationSubkey, RegView::Bits64), nullptr);
    EXPECT_FALSE(LoadLocationSettings(registry));

    ImportRegistry(LocationReg("\"OTHER\"=\"41\""));
    RegValue value;
    EXPECT_EQ(Query(value), 2);  // ERROR_FILE_NOT_FOUND
    EXPECT_EQ(value.kind, RegValue::Kind::None);
    EXPECT_FALSE(LoadLocationSettings(registry));
}

TEST_F(RegistryTest, OtherTypesCountAsMissing) {
    ImportRegistry(LocationReg("\"REGCODE\"=hex:33,42,33,31"));  // REG_BINARY
    RegValue value = RegValue::Text("unchanged");
    EXPECT_EQ(Query(value), -1);
    EXPECT_EQ(value.text, "unchanged");
    EXPECT_FALSE(LoadLocationSettings(registry));
}

TEST_F(RegistryTest, ValueOnlyInThe64BitView) {
    ImportRegistry(LocationReg(kX1OnServer1));
    EXPECT_EQ(registry.OpenLocalMachineKey(kLocationSubkey, RegView::Bits32), nullptr);
    auto settings = LoadLocationSettings(registry);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->LocationCode, "X1");
}

TEST_F(RegistryTest, ValueOnlyInThe32BitView) {
    ImportRegistry(LocationReg(kX1OnServer1), /*view32=*/true);
    EXPECT_EQ(registry.OpenLocalMachineKey(kLocationSubkey, RegView::Bits64), nullptr);
    auto settings = LoadLocationSettings(registry);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->FtpHost, "SERVER1");
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
