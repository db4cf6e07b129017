#include "about/sysinfo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quendrel {
namespace {

constexpr std::int32_t kFileNotFound = 2;
constexpr std::int32_t kAccessDenied = 5;
constexpr std::int32_t kMoreData = 234;
constexpr std::uint32_t kRegBinary = 3;

struct StoredValue {
    std::uint32_t type;
    std::string bytes;
};

std::string Sz(const std::string& text) { return text + std::string(1, '\0'); }

// Behaves like advapi32 over an in-memory HKEY_LOCAL_MACHINE, and records
// what the logic asked of it.
class FakeHost : public ISysInfoHost {
public:
    std::map<std::string, std::map<std::string, StoredValue>> keys;
    std::set<std::string> readOnlyKeys;  // may be read but not opened with full access
    std::set<std::string> files;
    bool startSucceeds = true;
    bool fileTestThrows = false;

    struct OpenCall {
        RegRootKey root;
        std::string subkey;
        std::uint32_t options;
        std::uint32_t access;
    };
    std::vector<OpenCall> opens;
    std::vector<std::uint32_t> queriedSizes;
    int openKeys = 0;
    std::vector<std::string> fileTests;
    std::vector<std::string> started;
    std::vector<std::pair<std::string, std::string>> messages;

    void Put(const std::string& subkey, const std::string& name, std::uint32_t type, const std::string& bytes) {
        keys[subkey][name] = StoredValue{type, bytes};
    }
    bool Opened(const std::string& subkey) const {
        for (const auto& call : opens) {
            if (call.subkey == subkey) return true;
        }
        return false;
    }

    std::int32_t OpenKey(RegRootKey root, const std::string& subkey, std::uint32_t options, std::uint32_t access,
                         RegKeyToken& key) override {
        opens.push_back({root, subkey, options, access});
        if (root != kHkeyLocalMachine) return kFileNotFound;
        auto it = keys.find(subkey);
        if (it == keys.end()) return kFileNotFound;
        const std::uint32_t readOnly = 0x20019;  // KEY_READ
        if (readOnlyKeys.count(subkey) && (access & ~readOnly) != 0) return kAccessDenied;
        handles_.push_back(subkey);
        key = handles_.size();
        ++openKeys;
        return 0;
    }

    std::int32_t QueryValue(RegKeyToken key, const std::string& name, std::uint32_t& type, unsigned char* data,
                            std::uint32_t& size) override {
        queriedSizes.push_back(size);
        const auto& values = keys.at(handles_.at(key - 1));
        auto it = values.find(name);
        if (it == values.end()) return kFileNotFound;
        const StoredValue& value = it->second;
        type = value.type;
        const std::uint32_t room = size;
        size = static_cast<std::uint32_t>(value.bytes.size());
        if (value.bytes.size() > room) return kMoreData;
        std::memcpy(data, value.bytes.data(), value.bytes.size());
        return 0;
    }

    void CloseKey(RegKeyToken) override { --openKeys; }

    bool FileExists(const std::string& path) override {
        fileTests.push_back(path);
        if (fileTestThrows) throw SysInfoFailure("bad file name");
        return files.count(path) != 0;
    }
    bool StartProgram(const std::string& path) override {
        started.push_back(path);
        return startSucceeds;
    }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        messages.emplace_back(text, caption);
    }

private:
    std::vector<std::string> handles_;
};

const std::string kKey = "SOFTWARE\\Test";

// --- GetKeyValue ---------------------------------------------------------

TEST(GetKeyValue, OpensTheKeyWithFullAccessAndQueriesOnceInto1024Bytes) {
    FakeHost host;
    host.Put(kKey, "V", kRegSz, Sz("x"));
    std::string value;
    ASSERT_TRUE(GetKeyValue(host, kHkeyLocalMachine, kKey, "V", value));
    ASSERT_EQ(host.opens.size(), 1u);
    EXPECT_EQ(host.opens[0].root, 0x80000002u);
    EXPECT_EQ(host.opens[0].subkey, kKey);
    EXPECT_EQ(host.opens[0].options, 0u);
    EXPECT_EQ(host.opens[0].access, 0x2003Fu);
    EXPECT_EQ(host.queriedSizes, std::vector<std::uint32_t>{1024});
    EXPECT_EQ(host.openKeys, 0) << "the key must be closed";
}

TEST(GetKeyValue, TextDropsOnlyAFinalNul) {
    FakeHost host;
    host.Put(kKey, "WithNul", kRegSz, Sz("C:\\Tools\\msinfo32.exe"));
    host.Put(kKey, "WithoutNul", kRegSz, "C:\\abc");
    host.Put(kKey, "TwoNuls", kRegSz, std::string("ab\0\0", 4));
    host.Put(kKey, "Empty", kRegSz, Sz(""));
    std::string value;

    ASSERT_TRUE(GetKeyValue(host, kHkeyLocalMachine, kKey, "WithNul", value));
    EXPECT_EQ(value, "C:\\Tools\\msinfo32.exe");
    ASSERT_TRUE(GetKeyValue(host, kHkeyLocalMachine, kKey, "WithoutNul", value));
    EXPECT_EQ(value, "C:\\abc");
    ASSERT_TRUE(GetKeyValue(host, kHkeyLocalMachine, kKey, "TwoNuls", value));
    EXPECT_EQ(value, std::string("ab\0", 3));
    value = "before";
    ASSERT_TRUE(GetKeyValue(host, kHkeyLocalMachine, kKey, "Empty", value));
    EXPECT_EQ(value, "");
}

TEST(GetKeyValue, DwordBecomesAmpHAndItsBytesLastFirst) {
    FakeHost host;
    host.Put(kKey, "Big", kRegDword, std::string("\x78\x56\x34\x12", 4));
    host.Put(kKey, "One", kRegDword, std::string("\x01\x00\x00\x00", 4));  // last byte 0 is dropped
    host.Put(kKey, "HighByte", kRegDword, std::string("\x00\x00\x00\xAB", 4));
    std::string value;

    ASSERT_TRUE(GetKeyValue(host, kHkeyLocalMachine, kKey, "Big", value));
    EXPECT_EQ(value, "&h12345678");
    ASSERT_TRUE(GetKeyValue(host, kHkeyLocalMachine, kKey, "One", value));
    EXPECT_EQ(value, "&h000001");
    ASSERT_TRUE(GetKeyValue(host, kHkeyLocalMachine, kKey, "HighByte", value));
    EXPECT_EQ(value, "&hAB000000");
}

TEST(GetKeyValue, OtherTypesAreFoundButLeaveTheTextAlone) {
    FakeHost host;
    host.Put(kKey, "Bin", kRegBinary, "\x01\x02");
    std::string value = "unchanged";
    EXPECT_TRUE(GetKeyValue(host, kHkeyLocalMachine, kKey, "Bin", value));
    EXPECT_EQ(value, "unchanged");
}

TEST(GetKeyValue, MissingKeyOrValueIsNotFoundAndEmptiesTheText) {
    FakeHost host;
    host.Put(kKey, "Other", kRegSz, Sz("x"));
    std::string value = "stale";
    EXPECT_FALSE(GetKeyValue(host, kHkeyLocalMachine, "SOFTWARE\\Missing", "V", value));
    EXPECT_EQ(value, "");
    value = "stale";
    EXPECT_FALSE(GetKeyValue(host, kHkeyLocalMachine, kKey, "V", value));
    EXPECT_EQ(value, "");
    EXPECT_EQ(host.openKeys, 0);
}

TEST(GetKeyValue, KeyReadableButNotFullyOpenableIsNotFound) {
    FakeHost host;
    host.Put(kKey, "V", kRegSz, Sz("x"));
    host.readOnlyKeys.insert(kKey);
    std::string value = "stale";
    EXPECT_FALSE(GetKeyValue(host, kHkeyLocalMachine, kKey, "V", value));
    EXPECT_EQ(value, "");
}

TEST(GetKeyValue, ValueLongerThan1024BytesIsNotFoundAnd1024IsFound) {
    FakeHost host;
    host.Put(kKey, "Fits", kRegSz, std::string(1023, 'a') + '\0');
    host.Put(kKey, "FitsNoNul", kRegSz, std::string(1024, 'b'));
    host.Put(kKey, "TooLong", kRegSz, std::string(1024, 'c') + '\0');
    std::string value;

    ASSERT_TRUE(GetKeyValue(host, kHkeyLocalMachine, kKey, "Fits", value));
    EXPECT_EQ(value, std::string(1023, 'a'));
    ASSERT_TRUE(GetKeyValue(host, kHkeyLocalMachine, kKey, "FitsNoNul", value));
    EXPECT_EQ(value, std::string(1024, 'b'));
    value = "stale";
    EXPECT_FALSE(GetKeyValue(host, kHkeyLocalMachine, kKey, "TooLong", value));
    EXPECT_EQ(value, "");
    EXPECT_EQ(host.openKeys, 0);
}

TEST(GetKeyValue, ZeroByteValueIsAFailure) {
    FakeHost host;
    host.Put(kKey, "Nothing", kRegSz, "");
    std::string value;
    EXPECT_THROW(GetKeyValue(host, kHkeyLocalMachine, kKey, "Nothing", value), SysInfoFailure);
    EXPECT_EQ(host.openKeys, 0);
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
    StartSysInfo(host, "Quendrel");
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
    StartSysInfo(host, "Quendrel");
    EXPECT_EQ(host.started, std::vector<std::string>{"C:\\Missing\\Info.exe"});
    EXPECT_FALSE(host.Opened(kSecond));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], kUnavailable);
}

TEST(StartSysInfo, SecondKeyNamesTheFolderOfMsinfo32) {
    FakeHost host;
    host.Put(kSecond, "MSINFO", kRegSz, Sz("C:\\Program Files\\Common Files\\MSInfo"));
    host.files.insert("C:\\Program Files\\Common Files\\MSInfo\\MSINFO32.EXE");
    StartSysInfo(host, "Quendrel");
    EXPECT_TRUE(host.Opened(kFirst));
    EXPECT_EQ(host.started, std::vector<std::string>{"C:\\Program Files\\Common Files\\MSInfo\\MSINFO32.EXE"});
    EXPECT_TRUE(host.messages.empty());
}

TEST(StartSysInfo, SecondKeyFolderWithoutMsinfo32ShowsTheMessage) {
    FakeHost host;
    host.Put(kSecond, "MSINFO", kRegSz, Sz("C:\\Empty"));
    StartSysInfo(host, "Quendrel");
    EXPECT_EQ(host.fileTests, std::vector<std::string>{"C:\\Empty\\MSINFO32.EXE"});
    EXPECT_TRUE(host.started.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], kUnavailable);
}

TEST(StartSysInfo, NeitherValueShowsTheMessageOnce) {
    FakeHost host;
    StartSysInfo(host, "Quendrel");
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
    StartSysInfo(host, "Quendrel");
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
        StartSysInfo(host, "Quendrel");
        EXPECT_FALSE(host.Opened(kSecond));
        EXPECT_TRUE(host.started.empty());
        EXPECT_EQ(host.messages.size(), 1u);
    }
    {
        SCOPED_TRACE("the file test fails");
        FakeHost host;
        host.Put(kSecond, "MSINFO", kRegSz, Sz("C:\\Info"));
        host.fileTestThrows = true;
        StartSysInfo(host, "Quendrel");
        EXPECT_TRUE(host.started.empty());
        EXPECT_EQ(host.messages.size(), 1u);
    }
    {
        SCOPED_TRACE("keys that may only be read");
        FakeHost host;
        host.Put(kFirst, "PATH", kRegSz, Sz("C:\\Tools\\Info.exe"));
        host.Put(kSecond, "MSINFO", kRegSz, Sz("C:\\Info"));
        host.files.insert("C:\\Info\\MSINFO32.EXE");
        host.readOnlyKeys = {kFirst, kSecond};
        StartSysInfo(host, "Quendrel");
        EXPECT_TRUE(host.started.empty());
        EXPECT_EQ(host.messages.size(), 1u);
    }
}

TEST(StartSysInfo, MessageIsCaptionedWithTheGivenTitle) {
    FakeHost host;
    StartSysInfo(host, "Other Title");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].second, "Other Title");
}

}  // namespace
}  // namespace quendrel
