#include "about/sysinfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quendrel {
namespace {

constexpr RegValueType kRegSz = RegValueType::Text;
constexpr RegValueType kRegDword = RegValueType::Number;
constexpr RegValueType kRegBinary = RegValueType::Other;

struct StoredValue {
    RegValueType type;
    std::string bytes;
};

std::string Sz(const std::string& text) { return text + std::string(1, '\0'); }

// Behaves like the registry's HKEY_LOCAL_MACHINE held in memory, and records
// what the logic asked of it.
class FakeHost : public ISysInfoHost {
public:
    std::map<std::string, std::map<std::string, StoredValue>> keys;
    std::set<std::string> readOnlyKeys;  // may be read but not opened with full access
    std::set<std::string> files;
    bool startSucceeds = true;
    bool fileTestFails = false;

    std::vector<std::string> opens;
    std::vector<std::uint32_t> queriedSizes;
    int openKeys = 0;
    std::vector<std::string> fileTests;
    std::vector<std::string> started;
    std::vector<std::pair<std::string, std::string>> messages;

    void Put(const std::string& subkey, const std::string& name, RegValueType type, const std::string& bytes) {
        keys[subkey][name] = StoredValue{type, bytes};
    }
    bool Opened(const std::string& subkey) const {
        return std::find(opens.begin(), opens.end(), subkey) != opens.end();
    }

    bool OpenLocalMachineKey(const std::string& subkey, RegKeyToken& key) override {
        opens.push_back(subkey);
        if (!keys.count(subkey) || readOnlyKeys.count(subkey)) return false;
        handles_.push_back(subkey);
        key = handles_.size();
        ++openKeys;
        return true;
    }

    bool QueryValue(RegKeyToken key, const std::string& name, RegValueType& type, unsigned char* data,
                    std::uint32_t& size) override {
        queriedSizes.push_back(size);
        const auto& values = keys.at(handles_.at(key - 1));
        auto it = values.find(name);
        if (it == values.end()) return false;
        const StoredValue& value = it->second;
        type = value.type;
        const std::uint32_t room = size;
        size = static_cast<std::uint32_t>(value.bytes.size());
        if (value.bytes.size() > room) return false;
        std::memcpy(data, value.bytes.data(), value.bytes.size());
        return true;
    }

    void CloseKey(RegKeyToken) override { --openKeys; }

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

private:
    std::vector<std::string> handles_;
};

const std::string kKey = "SOFTWARE\\Test";

// GetKeyValue's answer for a value it can read: found or not.
bool Found(FakeHost& host, const std::string& keyName, const std::string& valueName, std::string& value) {
    bool found = false;
    EXPECT_TRUE(GetKeyValue(host, keyName, valueName, value, found).ok());
    return found;
}

// --- GetKeyValue ---------------------------------------------------------

TEST(GetKeyValue, OpensTheKeyOnceQueriesOnceInto1024BytesAndClosesIt) {
    FakeHost host;
    host.Put(kKey, "V", kRegSz, Sz("x"));
    std::string value;
    ASSERT_TRUE(Found(host, kKey, "V", value));
    EXPECT_EQ(host.opens, std::vector<std::string>{kKey});
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
    EXPECT_EQ(host.openKeys, 0);
}

TEST(GetKeyValue, KeyReadableButNotFullyOpenableIsNotFound) {
    FakeHost host;
    host.Put(kKey, "V", kRegSz, Sz("x"));
    host.readOnlyKeys.insert(kKey);
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
    EXPECT_EQ(host.openKeys, 0);
}

TEST(GetKeyValue, ZeroByteValueIsAFailure) {
    FakeHost host;
    host.Put(kKey, "Nothing", kRegSz, "");
    std::string value;
    bool found = true;
    EXPECT_FALSE(GetKeyValue(host, kKey, "Nothing", value, found).ok());
    EXPECT_FALSE(found);
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
        host.files.insert("C:\\Info\\MSINFO32.EXE");
        host.fileTestFails = true;
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
