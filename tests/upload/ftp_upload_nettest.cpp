// The upload's decisions through libcurl against a real FTP server on
// 127.0.0.1 (tests/support/ftp_test_server.py), one case per way the server
// can behave.
#include "upload/ftp_upload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "config/settings_rules.h"
#include "platform/text.h"
#include "support/fake_file_system.h"
#include "support/ftp_test_server.h"

namespace quendrel {
namespace {

[[maybe_unused]] const bool kServerModes =
    testing::SuiteUsesFtpTestServer({"normal", "silent", "stall", "tls", "vsftpd"});

using namespace std::chrono_literals;
using testing::FtpTestServer;
using testing::FtpTestServerOptions;

const std::string kBatch = "0111080905X1.TXT";
const std::string kTag = "0a1b2c3d";
// Short, so that the cases on silence take seconds.
const UploadLimits kTestLimits{2s, 2s};

class Recorder final : public IUploadProgress {
public:
    void Sent(std::uint64_t bytes, std::uint64_t) override { sent = std::max(sent, bytes); }
    void Note(const std::string& line) override { notes.push_back(line); }
    void Finished(const Status& status, bool taken) override {
        outcome = status;
        nameTaken = taken;
    }
    std::uint64_t sent = 0;
    bool nameTaken = false;
    std::vector<std::string> notes;
    Status outcome = Status::Failed("never told");
};

bool Says(const std::string& description, const std::string& text) {
    return description.find(text) != std::string::npos;
}

// A PC of the location with a working folder, uploader and batch of its own.
struct Pc {
    Pc(const std::string& tag, std::size_t size, char record, const std::string& name = kBatch) : batchName(name) {
        uploader.tag = tag;
        files.files[name] = batch = std::string(size, record);
    }
    void Send(const LocationSettings& settings) {
        const std::atomic<bool> never{false};
        UploadBatch(settings, batchName, files, never, recorder, uploader, UploadLimits{});
    }
    std::string batchName, batch;
    testing::FakeFileSystem files;
    Recorder recorder;
    Uploader uploader;
};

void SendAtOnce(Pc& first, Pc& second, const LocationSettings& settings) {
    std::thread other([&] { second.Send(settings); });
    first.Send(settings);
    other.join();
}

class FtpUploadTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(testing::MakeScratchFolder("ftp-upload"));
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    std::string Batch(std::size_t size, const std::string& name = kBatch) {
        std::mt19937 random(static_cast<unsigned>(size));
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
        EXPECT_TRUE(SystemFileSystem().WriteNew(name, bytes).ok());
        return bytes;
    }
    Status Send(const FtpTestServer& server, const std::string& remotePath = "/in/", UploadLimits limits = kTestLimits,
                const std::string& password = testing::kFtpTestPassword, const std::string& host = "") {
        EXPECT_EQ(server.startError(), "");
        const LocationSettings settings{host.empty() ? server.hostSetting() : host, server.user(), password,
                                        remotePath, "X1"};
        return Send(settings, limits);
    }
    Status Send(const LocationSettings& settings, UploadLimits limits = kTestLimits) {
        UploadBatch(settings, kBatch, SystemFileSystem(), cancel, recorder, uploader, limits);
        return recorder.outcome;
    }
    static LocationSettings OverTls(const FtpTestServer& server, const std::string& pin) {
        EXPECT_EQ(server.startError(), "");
        return {server.hostSetting(), server.user(), "x", "/in/", "X1", kTlsRequired, pin};
    }
    static bool Stored(const FtpTestServer& server, const std::string& bytes, const std::string& path = "in/" + kBatch) {
        std::string received;
        return server.ReadServerFile(path, received) && received == bytes;
    }
    static bool Sent(const FtpTestServer& server) {
        const auto commands = server.Commands();
        return std::any_of(commands.begin(), commands.end(), [](const std::string& c) { return c.rfind("STOR", 0) == 0; });
    }

    std::atomic<bool> cancel{false};
    Recorder recorder;
    Uploader uploader{kTag};
    std::filesystem::path previous_;
};

TEST_F(FtpUploadTest, BatchGoesUnderATemporaryNameAndIsRenamedOnceConfirmed) {
    FtpTestServer server;
    const std::string bytes = Batch(3 * 1024 * 1024 + 17);
    ASSERT_EQ(Send(server).description, "");
    EXPECT_TRUE(Stored(server, bytes));
    EXPECT_EQ(server.ServerFileNames("in"), std::vector<std::string>{kBatch});
    EXPECT_EQ(recorder.sent, bytes.size());
    const auto commands = server.Commands();
    const std::string temporary = "/in/" + kBatch + "." + kTag + ".part", claim = "/in/" + kBatch + ".claim";
    for (const std::string& expected : {"MKD " + claim, "SIZE /in/" + kBatch, "STOR " + temporary,
                                        "RNFR " + temporary, "RNTO /in/" + kBatch, "RMD " + claim}) {
        EXPECT_NE(std::find(commands.begin(), commands.end(), expected), commands.end()) << expected;
    }
}

TEST_F(FtpUploadTest, RemoteNameIsRemotePathFollowedByTheNameExactly) {
    FtpTestServer server;
    const std::string bytes = Batch(100);
    ASSERT_EQ(Send(server, "in/pre-").description, "");
    ASSERT_EQ(Send(server, "").description, "");
    EXPECT_TRUE(Stored(server, bytes, "in/pre-" + kBatch));
    EXPECT_TRUE(Stored(server, bytes, kBatch));
    const auto commands = server.Commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "RNTO in/pre-" + kBatch), commands.end());
    EXPECT_NE(std::find(commands.begin(), commands.end(), "RNTO " + kBatch), commands.end());
}

TEST_F(FtpUploadTest, StoreRefusedPartWayOnAServerWithoutSizeLeavesNothing) {
    FtpTestServerOptions options;
    options.sizeReply = "500";
    options.refuseStoreAfter = 256 * 1024;
    FtpTestServer server(options);
    Batch(2 * 1024 * 1024);
    // The server closes the data connection as it refuses: the client learns
    // of the refusal first, or of the closed connection.
    const std::string description = Send(server).description;
    EXPECT_TRUE(Says(description, "552 Requested file action aborted. Exceeded storage allocation.") ||
                Says(description, "The connection to the FTP server " + server.hostSetting() + " was lost"))
        << description;
    EXPECT_EQ(server.ServerFileNames("in"), std::vector<std::string>{});
}

TEST_F(FtpUploadTest, CompleteStoreCountsWhereSizeIsRefusedOrUnknown) {
    for (const char* reply : {"550", "500"}) {
        FtpTestServerOptions options;
        options.sizeReply = reply;
        FtpTestServer server(options);
        const std::string bytes = Batch(1000);
        EXPECT_EQ(Send(server).description, "") << reply;
        EXPECT_TRUE(Stored(server, bytes)) << reply;
    }
}

TEST_F(FtpUploadTest, NameAlreadyOnTheServerIsRefusedWithOrWithoutSize) {
    for (const char* reply : {"", "500"}) {
        FtpTestServerOptions options;
        options.existingFiles = {"in/" + kBatch};
        options.sizeReply = reply;
        FtpTestServer server(options);
        Batch(100);
        EXPECT_TRUE(Says(Send(server).description, NameTakenOnServerMessage(kBatch))) << reply;
        EXPECT_TRUE(Stored(server, "a batch that was here first\r\n")) << reply;
        EXPECT_FALSE(Sent(server)) << reply;
    }
}

TEST_F(FtpUploadTest, RefusedLoginCarriesTheServersReply) {
    FtpTestServer server;
    Batch(100);
    const std::string description = Send(server, "/in/", kTestLimits, "wrong password").description;
    EXPECT_TRUE(Says(description, "Sending /in/" + kBatch + " to the FTP server " + server.hostSetting() +
                                      " as user \"scanner\" failed: 530 ") &&
                Says(description, "Check the FTP user (u) and password (p)"))
        << description;
    EXPECT_FALSE(Sent(server));
}

TEST_F(FtpUploadTest, NothingListeningIsAFailedConnection) {
    FtpTestServer server;
    const std::string host = server.hostSetting();
    server.Stop();
    Batch(100);
    const std::string description = Send(server, "/in/", kTestLimits, testing::kFtpTestPassword, host).description;
    EXPECT_TRUE(Says(description, "failed: The attempt to connect to the server failed. Check the FTP server (h)"))
        << description;
}

TEST_F(FtpUploadTest, SilentServerEndsAtTheBound) {
    FtpTestServerOptions options;
    options.mode = "silent";
    FtpTestServer server(options);
    Batch(100);
    const auto started = std::chrono::steady_clock::now();
    const std::string description = Send(server).description;
    EXPECT_TRUE(Says(description, "The FTP server " + server.hostSetting() + " did not answer within 2 seconds."))
        << description;
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

TEST_F(FtpUploadTest, TlsServerWithoutTls12IsRefusedInTheWordsOfTheSystemsTls) {
    FtpTestServerOptions options;
    options.mode = "tls";
    options.tls13Only = true;
    FtpTestServer server(options);
    Batch(100);
    const std::string description = Send(OverTls(server, server.ServerKeyPin())).description;
    EXPECT_TRUE(Says(description, "The TLS connection to the FTP server " + server.hostSetting() + " failed (") &&
                !Says(description, "Error)") && !Says(description, ": Error"))
        << description;
    EXPECT_EQ(server.ServerFileNames("in"), std::vector<std::string>{});
}

TEST_F(FtpUploadTest, StalledTransferEndsAtTheBoundAndLeavesNothing) {
    FtpTestServerOptions options;
    options.mode = "stall";
    options.stallAfter = 256 * 1024;
    FtpTestServer server(options);
    Batch(16 * 1024 * 1024);  // far more than the sockets' buffers hold
    const std::string description = Send(server).description;
    EXPECT_TRUE(Says(description, "The transfer to the FTP server " + server.hostSetting() + " made no progress for 2 seconds."))
        << description;
    EXPECT_EQ(server.ServerFileNames("in"), std::vector<std::string>{});
}

TEST_F(FtpUploadTest, BatchOf100KilobytesGoesThroughALinkAndToAServerThatTake2000BytesASecond) {
    // A slow link: the bytes wait with the client. A server that reads
    // slowly (vsftpd's anon_max_rate): the network takes the batch at once,
    // and the server confirms it long after the last byte.
    FtpTestServerOptions link, reader;
    link.readLimit = reader.readLimit = 2000;
    reader.mode = "vsftpd";
    FtpTestServer slowLink(link), slowReader(reader);
    Pc onLink("1111aaaa", 100 * 1024, 'a'), toReader("2222bbbb", 100 * 1024, 'b');
    std::thread reading([&] {
        toReader.Send({slowReader.hostSetting(), slowReader.user(), testing::kFtpTestPassword, "/in/", "X1"});
    });
    onLink.Send({slowLink.hostSetting(), slowLink.user(), testing::kFtpTestPassword, "/in/", "X1"});
    reading.join();
    EXPECT_EQ(onLink.recorder.outcome.description, "");
    EXPECT_EQ(toReader.recorder.outcome.description, "");
    EXPECT_TRUE(Stored(slowLink, onLink.batch) && Stored(slowReader, toReader.batch));
}

TEST_F(FtpUploadTest, SettingThatTheLibraryRefusesEndsTheOperationBeforeTheLogin) {
    FtpTestServer server;
    ASSERT_EQ(server.startError(), "");
    // libcurl refuses a text over 8 MB, as a build without pinning refuses any pin.
    FtpSession session({"127.0.0.1", static_cast<std::uint16_t>(server.port()), "scanner", "x", true,
                        std::string(9 << 20, 'k')},
                       2s, cancel);
    const FtpOutcome outcome = session.Commands({"NOOP"});
    EXPECT_TRUE(Says(outcome.status.description, "refused the setting CURLOPT_PINNEDPUBLICKEY"))
        << outcome.status.description;
    EXPECT_EQ(server.Commands(), std::vector<std::string>{});
}

TEST_F(FtpUploadTest, ServerGoneInTheMiddleLeavesNoCutBatchUnderABatchName) {
    FtpTestServerOptions options;
    options.dieAfter = 1024 * 1024;
    FtpTestServer server(options);
    Batch(8 * 1024 * 1024);
    EXPECT_FALSE(Send(server).ok());
    for (const std::string& name : server.ServerFileNames("in")) {
        EXPECT_NE(name.substr(name.size() - 4), ".TXT") << name;
    }
}

TEST_F(FtpUploadTest, ServerThatRefusesRenamesGetsTheBatchUnderItsFinalNameAndTheLogSaysSo) {
    FtpTestServerOptions options;
    options.refuseRename = true;
    FtpTestServer server(options);
    const std::string bytes = Batch(1000);
    ASSERT_EQ(Send(server).description, "");
    EXPECT_TRUE(Stored(server, bytes));
    EXPECT_EQ(server.ServerFileNames("in"), std::vector<std::string>{kBatch});
    EXPECT_EQ(recorder.notes, std::vector<std::string>{kNoRenameNote});
}

TEST_F(FtpUploadTest, TidyRemovesThisPcsTemporaryFilesAndOutlivedClaimsOfTheLocationOnly) {
    FtpTestServerOptions options;
    const std::string ours = "0111080904X1.TXT." + kTag + ".part", anotherPcs = "0111080904X1.TXT.89abcdef.part",
                      otherLocation = "0111080904Y2.TXT." + kTag + ".part";
    options.existingFiles = {"in/" + ours, "in/" + anotherPcs, "in/" + otherLocation, "in/0111080904X1.TXT",
                             "in/notes.part"};
    FtpTestServer server(options);
    for (const char* claim : {"in/0111080803X1.TXT.claim", "in/0111080900X1.TXT.claim"})
        std::filesystem::create_directory(server.rootPath() + "/" + claim);
    Batch(100);
    ASSERT_EQ(Send(server).description, "");
    EXPECT_EQ(server.ServerFileNames("in"), (std::vector<std::string>{"0111080900X1.TXT.claim/", "0111080904X1.TXT",
                                                                      anotherPcs, otherLocation, kBatch, "notes.part"}));
}

TEST_F(FtpUploadTest, TwoPcsSendingTheSameNameAtOnceStoreOneBatchAndRefuseTheOther) {
    for (const char* mode : {"normal", "vsftpd"}) {
        FtpTestServerOptions options;
        options.mode = mode;
        options.readLimit = 100 * 1024;
        FtpTestServer server(options);
        ASSERT_EQ(server.startError(), "");
        Pc first("1111aaaa", 300 * 1024, 'a'), second("2222bbbb", 300 * 1024, 'b');
        SendAtOnce(first, second, {server.hostSetting(), server.user(), testing::kFtpTestPassword, "/in/", "X1"});
        Pc& sent = first.recorder.outcome.ok() ? first : second;
        Pc& refused = &sent == &first ? second : first;
        EXPECT_EQ(sent.recorder.outcome.description, "") << mode;
        EXPECT_TRUE(Says(refused.recorder.outcome.description, NameTakenOnServerMessage(kBatch)) &&
                    refused.recorder.nameTaken)
            << mode << ": " << refused.recorder.outcome.description;
        EXPECT_TRUE(Stored(server, sent.batch)) << mode;
        EXPECT_EQ(server.ServerFileNames("in"), std::vector<std::string>{kBatch}) << mode;
    }
}

TEST_F(FtpUploadTest, WithoutClaimsTheNameIsCheckedAgainJustBeforeTheRename) {
    FtpTestServerOptions options;
    options.refuseMkd = true;
    options.readLimit = 100 * 1024;
    FtpTestServer server(options);
    ASSERT_EQ(server.startError(), "");
    Pc quick("1111aaaa", 100 * 1024, 'a'), slow("2222bbbb", 400 * 1024, 'b');
    SendAtOnce(quick, slow, {server.hostSetting(), server.user(), testing::kFtpTestPassword, "/in/", "X1"});
    EXPECT_EQ(quick.recorder.outcome.description, "");
    EXPECT_TRUE(slow.recorder.nameTaken) << slow.recorder.outcome.description;
    EXPECT_TRUE(Stored(server, quick.batch));
    EXPECT_EQ(server.ServerFileNames("in"), std::vector<std::string>{kBatch});
    const auto commands = server.Commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "STOR /in/" + kBatch + ".2222bbbb.part"), commands.end());
}

TEST_F(FtpUploadTest, OnePcsTidyLeavesAnotherPcsStoreInFlightAlone) {
    FtpTestServerOptions options;
    options.readLimit = 100 * 1024;
    FtpTestServer server(options);
    ASSERT_EQ(server.startError(), "");
    const LocationSettings settings{server.hostSetting(), server.user(), testing::kFtpTestPassword, "/in/", "X1"};
    Pc slow("1111aaaa", 400 * 1024, 'a'), earlier("2222bbbb", 100, 'b', "0111080904X1.TXT");
    std::thread storing([&] { slow.Send(settings); });
    std::string partial;
    for (int waited = 0; waited < 500 && !server.ReadServerFile("in/" + kBatch + ".1111aaaa.part", partial); ++waited)
        std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(partial.empty());
    earlier.Send(settings);
    storing.join();
    EXPECT_EQ(earlier.recorder.outcome.description, "");
    EXPECT_EQ(slow.recorder.outcome.description, "");
    EXPECT_EQ(server.ServerFileNames("in"), (std::vector<std::string>{"0111080904X1.TXT", kBatch}));
}

TEST_F(FtpUploadTest, RenameWhoseReplyWasLostCountsAsSentWhereTheServerHoldsIt) {
    FtpTestServerOptions options;
    options.loseRntoReply = true;
    FtpTestServer server(options);
    const std::string bytes = Batch(1000);
    EXPECT_EQ(Send(server).description, "");
    EXPECT_TRUE(Stored(server, bytes));
    const auto commands = server.Commands();
    EXPECT_EQ(std::count_if(commands.begin(), commands.end(), [](const std::string& c) { return c.rfind("STOR", 0) == 0; }), 1);
}

TEST_F(FtpUploadTest, CancelStopsTheTransferWithinASecondAndRemovesThePartialFile) {
    FtpTestServerOptions options;
    options.readLimit = 200 * 1024;
    FtpTestServer server(options);
    Batch(4 * 1024 * 1024);
    std::thread canceller([this] {
        std::this_thread::sleep_for(1s);
        cancel = true;
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Send(server, "/in/", UploadLimits{}).description, "The upload was stopped because the program is closing.");
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
    EXPECT_EQ(server.ServerFileNames("in"), std::vector<std::string>{});
}

TEST_F(FtpUploadTest, TlsServerWithAnotherKeyThanThePinnedOneIsRefusedBeforeTheLogin) {
    FtpTestServerOptions options;
    options.mode = "tls";
    FtpTestServer server(options);
    Batch(100);
    std::string otherPin = server.ServerKeyPin();
    ASSERT_EQ(otherPin.size(), 64u);
    otherPin[0] = otherPin[0] == '0' ? '1' : '0';
    const std::string description = Send(OverTls(server, otherPin)).description;
    EXPECT_NE(description.find("another public key than the one pinned"), std::string::npos) << description;
    EXPECT_EQ(server.ServerFileNames("in"), std::vector<std::string>{});
}

TEST_F(FtpUploadTest, SelfSignedTlsServerWithoutAPinIsRefusedForItsCertificate) {
    if (!testing::SystemTlsChecksCertificates()) GTEST_SKIP() << "this system's TLS accepts any certificate";
    FtpTestServerOptions options;
    options.mode = "tls";
    FtpTestServer server(options);
    Batch(100);
    const std::string description = Send(OverTls(server, "")).description;
    EXPECT_TRUE(Says(description, "The certificate of the FTP server " + server.hostSetting() + " could not be verified"))
        << description;
    EXPECT_EQ(server.ServerFileNames("in"), std::vector<std::string>{});
}

TEST_F(FtpUploadTest, TlsRequiredOfAPlainServerSendsNeitherTheLoginNorTheBatch) {
    FtpTestServer server;
    Batch(100);
    const std::string description = Send(OverTls(server, "")).description;
    EXPECT_NE(description.find("does not offer FTP over TLS"), std::string::npos) << description;
    for (const std::string& command : server.Commands()) {
        EXPECT_NE(command.substr(0, 4), "USER");
        EXPECT_NE(command.substr(0, 4), "PASS");
    }
    EXPECT_FALSE(server.Commands().empty());  // it was asked for TLS
}

TEST(UploadLeftover, IsRecognisedForItsOwnLocationOnlyWithItsMinuteAndTag) {
    const std::string made = RemoteLeafName(TemporaryName(RemoteFileName("/in/pre-", kBatch), kTag));
    const auto temporary = ParseUploadLeftover(made, "pre-", "X1");
    ASSERT_TRUE(temporary) << made;
    EXPECT_EQ(temporary->kind, UploadLeftover::Kind::Temporary);
    EXPECT_EQ(temporary->minute + "/" + temporary->tag, "0111080905/" + kTag);
    const auto claim = ParseUploadLeftover(RemoteLeafName(ClaimName("/in/pre-" + kBatch)), "pre-", "X1");
    ASSERT_TRUE(claim);
    EXPECT_EQ(claim->kind, UploadLeftover::Kind::Claim);
    EXPECT_FALSE(ParseUploadLeftover(made, "", "X1"));
    EXPECT_FALSE(ParseUploadLeftover(made, "pre-", "X"));
    for (const char* other : {"pre-0111080905X1.TXT", "pre-0111080905X1.TXT.0a1b2c3.part", "pre-011108090X1.TXT.0a1b2c3d.part",
                              "pre-0111080905X1.TXT.0A1B2C3D.part", "pre-0111080905X1.TXT.0a1b2c3d.part.TXT",
                              "pre-0111080905X1.TXT.claim.TXT"}) {
        EXPECT_FALSE(ParseUploadLeftover(other, "pre-", "X1")) << other;
    }
}

TEST(UploadLeftover, MinutesBetweenCountAcrossDaysMonthsAndLeapYears) {
    EXPECT_EQ(MinutesBetween("2402282359", "2402290001"), 2);
    EXPECT_EQ(MinutesBetween("2312312300", "2401010000"), 60);
    EXPECT_EQ(MinutesBetween("2302282330", "2303010030"), 60);
    EXPECT_FALSE(MinutesBetween("2313010000", "2401010000"));
}

}  // namespace
}  // namespace quendrel
