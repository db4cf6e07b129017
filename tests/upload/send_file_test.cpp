#include "upload/send_file.h"

#include <gtest/gtest.h>

#include "upload/fake_ftp_client.h"

namespace quendrel {
namespace {

using Calls = std::vector<std::string>;
using testing::FakeFtpClient;

LocationSettings Settings(const std::string& remotePath) {
    return {"127.0.0.1:2121", "scanner", "secret", remotePath, "X1"};
}

TEST(SendFile, SetsAccountConnectsPutsAndDisconnectsInOrder) {
    FakeFtpClient ftp;
    ASSERT_TRUE(SendFile(ftp, Settings("/upload/"), "0111080905X1.TXT").ok());
    EXPECT_EQ(ftp.calls, (Calls{"SetHost", "SetUser", "SetPassword", "Connect", "IsConnected", "Put", "Disconnect"}));
    EXPECT_EQ(ftp.host, "127.0.0.1:2121");
    EXPECT_EQ(ftp.user, "scanner");
    EXPECT_EQ(ftp.password, "secret");
    EXPECT_EQ(ftp.putLocal, "0111080905X1.TXT");
    EXPECT_EQ(ftp.putRemote, "/upload/0111080905X1.TXT");
}

TEST(SendFile, RemoteNameIsRemotePathFollowedAtOnceByTheName) {
    EXPECT_EQ(RemoteFileName("/upload/", "0111080905X1.TXT"), "/upload/0111080905X1.TXT");
    EXPECT_EQ(RemoteFileName("upload", "0111080905X1.TXT"), "upload0111080905X1.TXT");
    EXPECT_EQ(RemoteFileName("", "0111080905X1.TXT"), "0111080905X1.TXT");
}

TEST(SendFile, WaitsUntilTheConnectionIsUp) {
    FakeFtpClient ftp;
    ftp.notConnectedReadings = 2;
    ASSERT_TRUE(SendFile(ftp, Settings(""), "A.TXT").ok());
    EXPECT_EQ(ftp.calls, (Calls{"SetHost", "SetUser", "SetPassword", "Connect", "IsConnected", "WaitForConnection",
                                "IsConnected", "WaitForConnection", "IsConnected", "Put", "Disconnect"}));
}

TEST(SendFile, AFailingStepEndsItAtOnceWithoutDisconnecting) {
    {
        FakeFtpClient ftp;
        ftp.connectResult = FtpStatus::Failed("cannot start");
        EXPECT_EQ(SendFile(ftp, Settings(""), "A.TXT").description, "cannot start");
        EXPECT_EQ(ftp.calls, (Calls{"SetHost", "SetUser", "SetPassword", "Connect"}));
    }
    {
        FakeFtpClient ftp;
        ftp.notConnectedReadings = 1;
        ftp.waitResult = FtpStatus::Failed("530 Login incorrect.");
        EXPECT_EQ(SendFile(ftp, Settings(""), "A.TXT").description, "530 Login incorrect.");
        EXPECT_EQ(ftp.calls, (Calls{"SetHost", "SetUser", "SetPassword", "Connect", "IsConnected", "WaitForConnection"}));
    }
    {
        FakeFtpClient ftp;
        ftp.putResult = FtpStatus::Failed("550 No such file or directory.");
        EXPECT_EQ(SendFile(ftp, Settings("/missing/"), "A.TXT").description, "550 No such file or directory.");
        EXPECT_EQ(ftp.calls, (Calls{"SetHost", "SetUser", "SetPassword", "Connect", "IsConnected", "Put"}));
    }
}

}  // namespace
}  // namespace quendrel
