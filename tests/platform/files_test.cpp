// The system file layer against real files (POSIX natively, Win32 under Wine).
#include "platform/files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace quendrel {
namespace {

class SystemFiles : public ::testing::Test {
protected:
    void SetUp() override {
        name = "files_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".dat";
        std::remove(name.c_str());
    }
    void TearDown() override {
        std::remove(name.c_str());
        std::remove((name + ".tmp").c_str());
    }
    std::string Contents() {
        std::string c;
        EXPECT_TRUE(files.ReadAll(name, c).ok());
        return c;
    }
    IFileSystem& files = SystemFileSystem();
    std::string name;
};

TEST_F(SystemFiles, AppendCreatesThenAddsAfterExistingLines) {
    EXPECT_FALSE(files.Exists(name));
    ASSERT_TRUE(files.AppendDurably(name, "one\r\n").ok());
    ASSERT_TRUE(files.AppendDurably(name, "two\r\n").ok());
    EXPECT_EQ(Contents(), "one\r\ntwo\r\n");
    std::uint64_t size = 0;
    ASSERT_TRUE(files.Size(name, size).ok());
    EXPECT_EQ(size, 10u);
}

TEST_F(SystemFiles, AnUnfinishedLastLineIsClosedBeforeTheNextRecord) {
    ASSERT_TRUE(files.WriteNew(name, "one\r\nparti").ok());
    ASSERT_TRUE(files.AppendDurably(name, "two\r\n").ok());
    EXPECT_EQ(Contents(), "one\r\nparti\r\ntwo\r\n");
    for (const char* damaged : {"one\n", "one\r", "\n"}) {  // hand-edited: a bare LF or CR ends no line
        ASSERT_TRUE(files.WriteNew(name, damaged).ok() && files.AppendDurably(name, "two\r\n").ok());
        EXPECT_EQ(Contents(), std::string(damaged) + "\r\ntwo\r\n");
    }
}

TEST_F(SystemFiles, ReplaceAndRemove) {
    ASSERT_TRUE(files.WriteNew(name, "old contents").ok());
    ASSERT_TRUE(files.ReplaceAtomically(name, "new").ok());
    EXPECT_EQ(Contents(), "new");
    EXPECT_FALSE(files.Exists(name + ".tmp"));
    ASSERT_TRUE(files.Remove(name).ok());
    EXPECT_FALSE(files.Exists(name));
}

TEST_F(SystemFiles, FailuresCarryTheSystemDescription) {
    std::string c;
    const Status missing = files.ReadAll(name, c);
    EXPECT_FALSE(missing.ok());
    EXPECT_FALSE(missing.description.empty());
    std::uint64_t size = 0;
    EXPECT_FALSE(files.Size(name, size).ok());
    EXPECT_FALSE(files.Remove(name).ok());
    EXPECT_FALSE(files.AppendDurably("no such folder/savedata.dat", "x\r\n").ok());
}

}  // namespace
}  // namespace quendrel
