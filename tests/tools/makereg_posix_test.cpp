// The native makereg: what it writes decodes with the program's own decoder,
// and what it refuses leaves no file behind.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "config/regcode.h"
#include "config/location_settings.h"
#include "config/settings_rules.h"

namespace quendrel {
namespace {

class MakeregTool : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/makereg-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

    int Run(const std::string& arguments) {
        const std::string command =
            "'" + std::string(MAKEREG_EXE) + "' " + arguments + " --output '" + Output() + "' >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Output() const { return folder_ + "/location.reg"; }
    std::string Written() const {
        std::ifstream file(Output(), std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::string folder_;
};

TEST_F(MakeregTool, WritesARegFileThatDecodesToTheFiveSettings) {
    ASSERT_EQ(Run("--host ftp.example.net --user 'op 1' --password 'p@ss\"w\\rd' --remote-path /in/X1/ "
                  "--location X1"),
              0);
    const std::string file = Written();
    const std::string head = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VOSSEL\\QUENDREL]\r\n\"REGCODE\"=\"";
    ASSERT_EQ(file.rfind(head, 0), 0u) << file;
    const std::string regCode = file.substr(head.size(), file.find('"', head.size()) - head.size());
    EXPECT_EQ(file.substr(head.size() + regCode.size()), "\"\r\n\r\n");

    const LocationSettings settings = ParseSettingsText(DecodeRegCode(regCode));
    EXPECT_EQ(settings.FtpHost, "ftp.example.net");
    EXPECT_EQ(settings.FtpUser, "op 1");
    EXPECT_EQ(settings.FtpPassword, "p@ss\"w\\rd");
    EXPECT_EQ(settings.RemotePath, "/in/X1/");
    EXPECT_EQ(settings.LocationCode, "X1");
}

TEST_F(MakeregTool, PrintsForTheInstallerTheRegCodeItsLocationRegHoldsAndWritesNoFile) {
    const std::string settings = "--host ftp.example.net --user u --password p --remote-path /in/ --location X1";
    ASSERT_EQ(Run(settings), 0);
    const std::string file = Written();
    std::remove(Output().c_str());

    FILE* pipe = popen(("cd '" + folder_ + "' && '" + MAKEREG_EXE + "' " + settings + " --print-regcode").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[4096] = {};
    const bool read = fgets(line, sizeof line, pipe) != nullptr;
    EXPECT_EQ(pclose(pipe), 0);
    ASSERT_TRUE(read);
    const std::string printed = line;
    EXPECT_EQ(printed.back(), '\n');
    EXPECT_NE(file.find("\"REGCODE\"=\"" + printed.substr(0, printed.size() - 1) + "\"\r\n"), std::string::npos)
        << printed << file;
    EXPECT_NE(access((folder_ + "/location.reg").c_str(), F_OK), 0) << "a file was written";
}

TEST_F(MakeregTool, RefusesWhatTheFormatCannotCarry) {
    EXPECT_EQ(Run("--host h --user u --password 'a;b' --remote-path /r/ --location l"), 1);
    EXPECT_EQ(Run("--host h=1 --user u --password p --remote-path /r/ --location l"), 1);
    EXPECT_EQ(Run("--host h --user u --password p --remote-path /r/"), 2) << "a missing setting";
    EXPECT_EQ(Run("--host h --user u --password p --remote-path /r/ --location l --colour blue"), 2);
    EXPECT_TRUE(Written().empty());
}

TEST_F(MakeregTool, RefusesTheSlipsQuendrelWouldTakeButSendAstray) {
    const std::string good = "--user u --password p --location X1 ";
    EXPECT_EQ(Run(good + "--host '127.0.0,1:2121' --remote-path /in/"), 1) << "a host typo";
    EXPECT_EQ(Run(good + "--host ftp.example.com --remote-path /incoming"), 1) << "a folder without its /";
    EXPECT_EQ(Run("--host ftp.example.com --user u --password --location X1 --remote-path /in/"), 2)
        << "a forgotten value";
    EXPECT_EQ(Run(good + "--host ftp.example.com --remote-path /in/ --print-regcode"), 2) << "no file, yet --output";
    EXPECT_TRUE(Written().empty());
    // What is meant is taken: a prefix given as such, --name=value, and a
    // file that is there only with --force.
    ASSERT_EQ(Run(good + "--host=ftp.example.com --remote-prefix /incoming"), 0);
    EXPECT_EQ(Run(good + "--host=ftp.example.com --remote-path=/in/"), 1) << "an existing file replaced";
    ASSERT_EQ(Run(good + "--host=ftp.example.com --remote-path=--odd-folder--/ --force"), 0);
    const std::string file = Written();
    const std::string regCode = file.substr(file.find("=\"") + 2, file.rfind('"') - file.find("=\"") - 2);
    EXPECT_EQ(ParseSettingsText(DecodeRegCode(regCode)).RemotePath, "--odd-folder--/");

    FILE* pipe = popen(("'" + std::string(MAKEREG_EXE) + "' --show " + regCode).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string shown;
    for (char line[512]; fgets(line, sizeof line, pipe);) shown += line;
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_NE(shown.find("Remote path:  --odd-folder--/"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Password:     set"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Password:     p"), std::string::npos) << "the password was shown";
}

TEST_F(MakeregTool, ShowReadsTheUtf16FileOfRegExport) {
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node"
                             "\\VOSSEL\\QUENDREL]\r\n\"REGCODE\"=\"" +
                             EncodeRegCode(CheckedSettingsText({"ftp.example.com", "u", "p", "/in/", "X7"})) + "\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (const char c : text) utf16 += std::string{c, '\0'};
    std::ofstream(Output(), std::ios::binary) << utf16;
    FILE* pipe = popen(("'" + std::string(MAKEREG_EXE) + "' --show '" + Output() + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string shown;
    for (char line[512]; fgets(line, sizeof line, pipe);) shown += line;
    EXPECT_EQ(pclose(pipe), 0) << shown;
    EXPECT_NE(shown.find("Location:     X7"), std::string::npos) << shown;
}

TEST_F(MakeregTool, RefusesWhatQuendrelRefusesBeforeAnUploadAndAnEmptyLocationCode) {
    const LocationSettings cases[] = {
        {"ftp.example:99999", "u", "p", "/in/", "X1"}, {"ftp.example:2121", "u", "p", "/in/", "X1"},
        {"", "u", "p", "/in/", "X1"},                  {"ftp.example", "u", "p", "/in/\r\nDELE x/", "X1"},
        {"ftp.example", "u", "p", "/in/", "X/1"},      {"ftp.example", "u", "p", "/in/", std::string(242, 'L')},
        {"ftp.example", "u", "p", "/in/", ""},         {"[::1]:21", "", "", "", "X1"},
    };
    for (const LocationSettings& s : cases) {
        SCOPED_TRACE("host [" + s.FtpHost + "] path [" + s.RemotePath + "] code [" + s.LocationCode + "]");
        const int exitCode = Run("--host '" + s.FtpHost + "' --user '" + s.FtpUser + "' --password '" +
                                 s.FtpPassword + "' --remote-path '" + s.RemotePath + "' --location '" +
                                 s.LocationCode + "'");
        EXPECT_EQ(exitCode == 0, CheckSettingsBeforeUpload(s).ok() && !s.LocationCode.empty());
        EXPECT_EQ(Written().empty(), exitCode != 0);
        std::remove(Output().c_str());
    }
}

}  // namespace
}  // namespace quendrel
