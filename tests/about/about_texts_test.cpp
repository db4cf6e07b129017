#include "about/about_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quendrel {
namespace {

TEST(AboutTexts, QuendrelShowsItsTitleVersionAndDescription) {
    const AboutTexts texts = MakeAboutTexts(kQuendrelIdentity);
    EXPECT_EQ(texts.caption, "About Quendrel");
    EXPECT_EQ(texts.title, "Quendrel");
    EXPECT_EQ(texts.version, "Version 1.0.0");
    EXPECT_EQ(texts.description, "Quendrel and Upload Application");
}

TEST(AboutTexts, VersionNumbersHaveNoLeadingZeros) {
    EXPECT_EQ(MakeAboutTexts({"X", 2, 10, 305}).version, "Version 2.10.305");
    EXPECT_EQ(MakeAboutTexts({"X", 0, 0, 7}).version, "Version 0.0.7");
    EXPECT_EQ(MakeAboutTexts({"Other", 1, 0, 0}).caption, "About Other");
}

TEST(AboutTexts, ContactBlockIsFourLinesJoinedByCrLf) {
    const std::string block = MakeAboutTexts(kQuendrelIdentity).disclaimer;
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = block.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(block.substr(start, end - start));
    }
    lines.push_back(block.substr(start));
    ASSERT_EQ(lines.size(), 4u) << block;
    EXPECT_EQ(lines[0], "Vossel Inc.");
    EXPECT_FALSE(lines[1].empty());
    EXPECT_FALSE(lines[2].empty());
    EXPECT_EQ(lines[3], "(555) 014-2290");
    EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), 3) << "no line end after the last line";
    EXPECT_EQ(std::count(block.begin(), block.end(), '\r'), 3);
}

}  // namespace
}  // namespace quendrel
