#include "upload/upload_batch.h"

#include <gtest/gtest.h>

#include "support/fake_file_system.h"

namespace quendrel {
namespace {

using testing::FakeFileSystem;

const LocalTime kNov8 = {2001, 11, 8, 9, 5, 7};
const std::string kRecord1 = "UP1ABCD23E45F678901X10111080905075500042123456";
const std::string kRecord2 = "UP1ABCD23E45F678901X1011108090507510          ";

TEST(UploadFileName, IsMinuteDigitsThenLocationCodeThenTxt) {
    EXPECT_EQ(UploadFileName(kNov8, "X1"), "0111080905X1.TXT");
    EXPECT_EQ(UploadFileName({2000, 1, 1, 0, 0, 0}, "X1"), "0001010000X1.TXT");
    EXPECT_EQ(UploadFileName(kNov8, ""), "0111080905.TXT");
    EXPECT_EQ(UploadFileName({2019, 12, 31, 23, 59, 59}, "LOC-7"), "1912312359LOC-7.TXT");
    // The seconds never change the name.
    EXPECT_EQ(UploadFileName({2001, 11, 8, 9, 5, 0}, "X1"), UploadFileName({2001, 11, 8, 9, 5, 59}, "X1"));
}

TEST(FormatLineCount, HasAtLeastFourDigitsAndIsNeverCut) {
    EXPECT_EQ(FormatLineCount(0), "0000");
    EXPECT_EQ(FormatLineCount(1), "0001");
    EXPECT_EQ(FormatLineCount(3), "0003");
    EXPECT_EQ(FormatLineCount(999), "0999");
    EXPECT_EQ(FormatLineCount(9999), "9999");
    EXPECT_EQ(FormatLineCount(10000), "10000");
    EXPECT_EQ(FormatLineCount(1234567), "1234567");
    EXPECT_EQ(FormatLineCount(2147483647), "2147483647");
}

TEST(CountRecordLines, CountsCrLfLinesAndAnUnendedLastLine) {
    EXPECT_EQ(CountRecordLines(""), 0u);
    EXPECT_EQ(CountRecordLines("a\r\n"), 1u);
    EXPECT_EQ(CountRecordLines("a\r\nb\r\n"), 2u);
    EXPECT_EQ(CountRecordLines("a\r\nb"), 2u);
    EXPECT_EQ(CountRecordLines("\r\n\r\n"), 2u);  // empty lines count
    EXPECT_EQ(CountRecordLines("x"), 1u);
}

TEST(UploadFileContents, IsAHeaderWithNameAndCountThenTheRecordsThenTheTrailer) {
    const std::string records = kRecord1 + "\r\n" + kRecord2 + "\r\n";
    const std::string contents = UploadFileContents("0111080905X1.TXT", records);
    EXPECT_EQ(contents, "UH0111080905X1.TXT0003\r\n" + kRecord1 + "\r\n" + kRecord2 + "\r\n<<EOF:>>\r\n");
    EXPECT_EQ(contents.size(), 24 + (kRecord1.size() + 2) + (kRecord2.size() + 2) + 10);
}

TEST(UploadFileContents, EdgeCasesOfTheRecords) {
    // Empty location code: ten digits and ".TXT" in name and header.
    EXPECT_EQ(UploadFileContents("0111080905.TXT", "a\r\nb\r\n"), "UH0111080905.TXT0003\r\na\r\nb\r\n<<EOF:>>\r\n");
    // No records: count 0001 and two lines in all.
    EXPECT_EQ(UploadFileContents("0111080905X1.TXT", ""), "UH0111080905X1.TXT0001\r\n<<EOF:>>\r\n");
    // Trailing blanks kept, empty lines copied and counted.
    EXPECT_EQ(UploadFileContents("N.TXT", "A  \r\n\r\nB\r\n"), "UHN.TXT0004\r\nA  \r\n\r\nB\r\n<<EOF:>>\r\n");
    // A last line without its line end becomes a full line.
    EXPECT_EQ(UploadFileContents("N.TXT", "A\r\nB"), "UHN.TXT0003\r\nA\r\nB\r\n<<EOF:>>\r\n");
    // Bytes outside ASCII pass unchanged.
    EXPECT_EQ(UploadFileContents("N.TXT", "\xC4\xE9\x01\r\n"), "UHN.TXT0002\r\n\xC4\xE9\x01\r\n<<EOF:>>\r\n");
}

TEST(UploadFileContents, CountOfTenThousandHasFiveDigits) {
    std::string records;
    for (int i = 0; i < 9999; ++i) records += kRecord1 + "\r\n";
    const std::string contents = UploadFileContents("0111080905X1.TXT", records);
    EXPECT_EQ(contents.substr(0, 25), "UH0111080905X1.TXT10000\r\n");
    EXPECT_EQ(contents.size(), 25 + records.size() + 10);
}

std::optional<std::string> AddedSince(const std::string& sent, const std::string& current) {
    return RecordsAddedSince(SentRecords::Of(sent), current);
}

TEST(RecordsAddedSince, KeepsOnlyWhatCameAfterTheSentRecords) {
    EXPECT_EQ(AddedSince("a\r\nb\r\n", "a\r\nb\r\n"), std::string());
    EXPECT_EQ(AddedSince("a\r\nb\r\n", "a\r\nb\r\nc\r\n"), std::string("c\r\n"));
    EXPECT_EQ(AddedSince("", "c\r\n"), std::string("c\r\n"));
    // The line end written to close an unended last line went with it.
    EXPECT_EQ(AddedSince("a\r\nb", "a\r\nb\r\nc\r\n"), std::string("c\r\n"));
    EXPECT_EQ(AddedSince("a\r\nb", "a\r\nb"), std::string());
    // Anything else than an append: cannot be told apart.
    EXPECT_EQ(AddedSince("a\r\nb\r\n", "a\r\n"), std::nullopt);
    EXPECT_EQ(AddedSince("a\r\nb\r\n", "x\r\nb\r\nc\r\n"), std::nullopt);
    EXPECT_EQ(AddedSince("a\r\n", ""), std::nullopt);
}

TEST(Sha256, KnownDigestsOfFipsExamplesAcrossBlockBoundaries) {
    auto hex = [](const Sha256Digest& d) {
        std::string text;
        for (unsigned char byte : d) text += "0123456789abcdef"[byte >> 4], text += "0123456789abcdef"[byte & 15];
        return text;
    };
    EXPECT_EQ(hex(Sha256Of("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(Sha256Of("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(hex(Sha256Of(twoBlocks)), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    Sha256 pieces;
    for (char c : twoBlocks) pieces.Add(std::string_view(&c, 1));
    EXPECT_EQ(hex(pieces.Finish()), hex(Sha256Of(twoBlocks)));
}

class BuildUploadFileTest : public ::testing::Test {
protected:
    FakeFileSystem files;
    BuiltBatch built;
};

TEST_F(BuildUploadFileTest, WritesTheBatchAndLeavesSavedataAlone) {
    const std::string records = kRecord1 + "\r\n" + kRecord2 + "\r\n";
    files.files["savedata.dat"] = records;
    ASSERT_TRUE(BuildUploadFile(files, kNov8, "X1", built).ok());
    EXPECT_EQ(built.fileName, "0111080905X1.TXT");
    EXPECT_EQ(files.files["0111080905X1.TXT"], UploadFileContents("0111080905X1.TXT", records));
    EXPECT_EQ(built.fileSize, files.files["0111080905X1.TXT"].size());
    EXPECT_EQ(files.files["savedata.dat"], records);
    EXPECT_EQ(files.files.size(), 2u);
}

TEST_F(BuildUploadFileTest, MissingSavedataFailsBeforeAnythingIsCreated) {
    const Status status = BuildUploadFile(files, kNov8, "X1", built);
    EXPECT_EQ(status.description, testing::kNotFound);
    EXPECT_TRUE(files.files.empty());
    EXPECT_EQ(files.writeNewCalls, 0);
}

TEST_F(BuildUploadFileTest, RefusesWhenABatchOfTheSameMinuteIsThere) {
    files.files["savedata.dat"] = kRecord1 + "\r\n";
    files.files["0111080905X1.TXT"] = "the batch sent at 09:05:07\r\n";
    const Status status = BuildUploadFile(files, {2001, 11, 8, 9, 5, 48}, "X1", built);
    ASSERT_FALSE(status.ok());
    EXPECT_NE(status.description.find("0111080905X1.TXT"), std::string::npos);
    EXPECT_NE(status.description.find("try again in a minute"), std::string::npos);
    EXPECT_EQ(files.files["0111080905X1.TXT"], "the batch sent at 09:05:07\r\n");
    EXPECT_EQ(files.writeNewCalls, 0);
    EXPECT_TRUE(built.fileName.empty());
}

TEST_F(BuildUploadFileTest, FailedWriteRemovesThePartialBatch) {
    files.files["savedata.dat"] = kRecord1 + "\r\n";
    files.partialWrites.insert("0111080905X1.TXT");
    const Status status = BuildUploadFile(files, kNov8, "X1", built);
    EXPECT_EQ(status.description, "There is not enough space on the disk.");
    EXPECT_FALSE(files.Exists("0111080905X1.TXT"));
    EXPECT_EQ(files.files["savedata.dat"], kRecord1 + "\r\n");
}

}  // namespace
}  // namespace quendrel
