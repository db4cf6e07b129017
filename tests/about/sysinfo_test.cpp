#include "about/sysinfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "support/fake_registry.h"

namespace quendrel {
namespace {

constexpr RegValue::Type kRegSz = RegValue::Type::Text;
constexpr RegValue::Type kRegDword = RegValue::Type::Number;
constexpr RegValue::Type kRegBinary = RegValue::Type::Other;

std::string Sz(const std::string& text) { return text + std::string(1, '\0'); }

// The registry's HKEY_LOCAL_MACHINE held in memory, files and programs, and a
// record of what the logic asked of them.
class FakeHost : public ISysInfoHost {
public:
    testing::FakeRegistry registry;
    std::set<std::string> files;
    bool startSucceeds = true;
    bool fileTestFails = false;

    std::vector<std::string> fileTests;
    std::vector<std::string> started;
    std::vector<std::pair<std::string, std::string>> messages;

    void Put(const std::string& subkey, const std::string& name, RegValue::Type type, const std::string& bytes) {
        registry.Put(subkey, name, {type, bytes});
    }
    bool Opened(const std::string& subkey) const {
        return std::any_of(registry.asked.begin(), registry.asked.end(),
                           [&](const testing::FakeRegistry::Request& r) { return r.subkey == subkey; });
    }

    bool FileExists(const std::string& path) override {
        fileTests.push_back(path);
        if (fileTestFails) return false;
        return files.count(path) != 0;
    }
    bool StartProgram(const std::string& path) override {
        started.push_back(path);
        return startSucceeds;
    }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        messages.emplace_back(text, caption);
    }
};

const std::string kKey = "SOFTWARE\\Test";

// GetKeyValue's answer for a value it can read: found or not.
bool Found(FakeHost& host, const std::string& keyName, const std::string& valueName, std::string& value) {
    bool found = false;
    EXPECT_TRUE(GetKeyValue(host.registry, keyName, valueName, value, found).ok());
    return found;
}

// --- GetKeyValue ---------------------------------------------------------

TEST(GetKeyValue, LooksInThe32BitViewOnly) {
    FakeHost host;
    host.registry.Put(kKey, "V", {kRegSz, Sz("x")}, RegView::Bits64);
    std::string value;
    EXPECT_FALSE(Found(host, kKey, "V", value));
    ASSERT_EQ(host.registry.asked.size(), 1u);
    EXPECT_EQ(host.registry.asked[0].view, RegView::Bits32);
}

TEST(GetKeyValue, TextDropsOnlyAFinalNul) {
    FakeHost host;
    host.Put(kKey, "WithNul", kRegSz, Sz("C:\\Tools\\msinfo32.exe"));
    host.Put(kKey, "WithoutNul", kRegSz, "C:\\abc");
    host.Put(kKey, "TwoNuls", kRegSz, std::string("ab\0\0", 4));
    host.Put(kKey, "Empty", kRegSz, Sz(""));
    std::string value;

    ASSERT_TRUE(Found(host, kKey, "WithNul", value));
    EXPECT_EQ(value, "C:\\Tools\\msinfo32.exe");
    ASSERT_TRUE(Found(host, kKey, "WithoutNul", value));
    EXPECT_EQ(value, "C:\\abc");
    ASSERT_TRUE(Found(host, kKey, "TwoNuls", value));
    EXPECT_EQ(value, std::string("ab\0", 3));
    value = "before";
    ASSERT_TRUE(Found(host, kKey, "Empty", value));
    EXPECT_EQ(value, "");
}

TEST(GetKeyValue, DwordBecomesAmpHAndItsBytesLastFirst) {
    FakeHost host;
    host.Put(kKey, "Big", kRegDword, std::string("\x78\x56\x34\x12", 4));
    host.Put(kKey, "One", kRegDword, std::string("\x01\x00\x00\x00", 4));  // last byte 0 is dropped
    host.Put(kKey, "HighByte", kRegDword, std::string("\x00\x00\x00\xAB", 4));
    std::string value;

    ASSERT_TRUE(Found(host, kKey, "Big", value));
    EXPECT_EQ(value, "&h12345678");
    ASSERT_TRUE(Found(host, kKey, "One", value));
    EXPECT_EQ(value, "&h000001");
    ASSERT_TRUE(Found(host, kKey, "HighByte", value));
    EXPECT_EQ(value, "&hAB000000");
}

TEST(GetKeyValue, OtherTypesAreFoundButLeaveTheTextAlone) {
    FakeHost host;
    host.Put(kKey, "Bin", kRegBinary, "\x01\x02");
    std::string value = "unchanged";
    EXPECT_TRUE(Found(host, kKey, "Bin", value));
    EXPECT_EQ(value, "unchanged");
}

TEST(GetKeyValue, MissingKeyOrValueIsNotFoundAndEmptiesTheText) {
    FakeHost host;
    host.Put(kKey, "Other", kRegSz, Sz("x"));
    std::string value = "stale";
    EXPECT_FALSE(Found(host, "SOFTWARE\\Missing", "V", value));
    EXPECT_EQ(value, "");
    value = "stale";
    EXPECT_FALSE(Found(host, kKey, "V", value));
    EXPECT_EQ(value, "");
}

TEST(GetKeyValue, KeyReadableButNotFullyOpenableIsNotFound) {
    FakeHost host;
    host.Put(kKey, "V", kRegSz, Sz("x"));
    host.registry.readOnlyKeys.insert(kKey);
    std::string value = "stale";
    EXPECT_FALSE(Found(host, kKey, "V", value));
    EXPECT_EQ(value, "");
}

TEST(GetKeyValue, ValueLongerThan1024BytesIsNotFoundAnd1024IsFound) {
    FakeHost host;
    host.Put(kKey, "Fits", kRegSz, std::string(1023, 'a') + '\0');
    host.Put(kKey, "FitsNoNul", kRegSz, std::string(1024, 'b'));
    host.Put(kKey, "TooLong", kRegSz, std::string(1024, 'c') + '\0');
    std::string value;

    ASSERT_TRUE(Found(host, kKey, "Fits", value));
    EXPECT_EQ(value, std::string(1023, 'a'));
    ASSERT_TRUE(Found(host, kKey, "FitsNoNul", value));
    EXPECT_EQ(value, std::string(1024, 'b'));
    value = "stale";
    EXPECT_FALSE(Found(host, kKey, "TooLong", value));
    EXPECT_EQ(value, "");
}

TEST(GetKeyValue, ZeroByteValueIsAFailure) {
    FakeHost host;
    host.Put(kKey, "Nothing", kRegSz, "");
    std::string value;
    bool found = true;
    EXPECT_FALSE(GetKeyValue(host.registry, kKey, "Nothing", value, found).ok());
    EXPECT_FALSE(found);
}

// --- StartSysInfo --------------------------------------------------------

const std::string kFirst = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kSecond = "SOFTWARE\\Microsoft\\Shared Tools Location";
const std::pair<std::string, std::string> kUnavailable{"System Information Is Unavailable At This Time", "Quendrel"};

TEST(StartSysInfo, FirstValueIsStartedWithoutAFileTestOrTheSecondKey) {
    FakeHost host;
    host.Put(kFirst, "PATH", kRegSz, Sz("C:\\Tools\\Info.exe"));
    host.Put(kSecond, "MSINFO", kRegSz, Sz("C:\\Other"));
    host.files.insert("C:\\Other\\MSINFO32.EXE");
    StartSysInfo(host.registry, host, "Quendrel");
    EXPECT_EQ(host.started, std::vector<std::string>{"C:\\Tools\\Info.exe"});
    EXPECT_TRUE(host.fileTests.empty());
    EXPECT_FALSE(host.Opened(kSecond));
    EXPECT_TRUE(host.messages.empty());
}

TEST(StartSysInfo, FirstValueThatCannotStartShowsTheMessageWithoutTryingTheSecondKey) {
    FakeHost host;
    host.Put(kFirst, "PATH", kRegSz, Sz("C:\\Missing\\Info.exe"));
    host.Put(kSecond, "MSINFO", kRegSz, Sz("C:\\Other"));
    host.files.insert("C:\\Other\\MSINFO32.EXE");
    host.startSucceeds = false;
    StartSysInfo(host.registry, host, "Quendrel");
    EXPECT_EQ(host.started, std::vector<std::string>{"C:\\Missing\\Info.exe"});
    EXPECT_FALSE(host.Opened(kSecond));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], kUnavailable);
}

TEST(StartSysInfo, SecondKeyNamesTheFolderOfMsinfo32) {
    FakeHost host;
    host.Put(kSecond, "MSINFO", kRegSz, Sz("C:\\Program Files\\Common Files\\MSInfo"));
    host.files.insert("C:\\Program Files\\Common Files\\MSInfo\\MSINFO32.EXE");
    StartSysInfo(host.registry, host, "Quendrel");
    EXPECT_TRUE(host.Opened(kFirst));
    EXPECT_EQ(host.started, std::vector<std::string>{"C:\\Program Files\\Common Files\\MSInfo\\MSINFO32.EXE"});
    EXPECT_TRUE(host.messages.empty());
}

TEST(StartSysInfo, SecondKeyFolderWithoutMsinfo32ShowsTheMessage) {
    FakeHost host;
    host.Put(kSecond, "MSINFO", kRegSz, Sz("C:\\Empty"));
    StartSysInfo(host.registry, host, "Quendrel");
    EXPECT_EQ(host.fileTests, std::vector<std::string>{"C:\\Empty\\MSINFO32.EXE"});
    EXPECT_TRUE(host.started.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], kUnavailable);
}

TEST(StartSysInfo, NeitherValueShowsTheMessageOnce) {
    FakeHost host;
    StartSysInfo(host.registry, host, "Quendrel");
    EXPECT_TRUE(host.Opened(kFirst));
    EXPECT_TRUE(host.Opened(kSecond));
    EXPECT_TRUE(host.started.empty());
    EXPECT_EQ(host.messages, (std::vector<std::pair<std::string, std::string>>{kUnavailable}));
}

TEST(StartSysInfo, FirstValueOver1024BytesFallsBackToTheSecondKey) {
    FakeHost host;
    host.Put(kFirst, "PATH", kRegSz, Sz("C:\\" + std::string(1100, 'x') + ".exe"));
    host.Put(kSecond, "MSINFO", kRegSz, Sz("C:\\Info"));
    host.files.insert("C:\\Info\\MSINFO32.EXE");
    StartSysInfo(host.registry, host, "Quendrel");
    EXPECT_EQ(host.started, std::vector<std::string>{"C:\\Info\\MSINFO32.EXE"});
    EXPECT_TRUE(host.messages.empty());
}

TEST(StartSysInfo, FailuresDuringTheLookupEndInTheMessage) {
    {
        SCOPED_TRACE("zero-byte first value: no second key");
        FakeHost host;
        host.Put(kFirst, "PATH", kRegSz, "");
        host.Put(kSecond, "MSINFO", kRegSz, Sz("C:\\Info"));
        host.files.insert("C:\\Info\\MSINFO32.EXE");
        StartSysInfo(host.registry, host, "Quendrel");
        EXPECT_FALSE(host.Opened(kSecond));
        EXPECT_TRUE(host.started.empty());
        EXPECT_EQ(host.messages.size(), 1u);
    }
    {
        SCOPED_TRACE("the file test fails");
        FakeHost host;
        host.Put(kSecond, "MSINFO", kRegSz, Sz("C:\\Info"));
        host.files.insert("C:\\Info\\MSINFO32.EXE");
        host.fileTestFails = true;
        StartSysInfo(host.registry, host, "Quendrel");
        EXPECT_TRUE(host.started.empty());
        EXPECT_EQ(host.messages.size(), 1u);
    }
    {
        SCOPED_TRACE("keys that may only be read");
        FakeHost host;
        host.Put(kFirst, "PATH", kRegSz, Sz("C:\\Tools\\Info.exe"));
        host.Put(kSecond, "MSINFO", kRegSz, Sz("C:\\Info"));
        host.files.insert("C:\\Info\\MSINFO32.EXE");
        host.registry.readOnlyKeys = {kFirst, kSecond};
        StartSysInfo(host.registry, host, "Quendrel");
        EXPECT_TRUE(host.started.empty());
        EXPECT_EQ(host.messages.size(), 1u);
    }
}

TEST(StartSysInfo, MessageIsCaptionedWithTheGivenTitle) {
    FakeHost host;
    StartSysInfo(host.registry, host, "Other Title");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].second, "Other Title");
}

}  // namespace
}  // namespace quendrel
