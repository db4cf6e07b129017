#include "upload/send_file.h"

namespace quendrel {

std::string RemoteFileName(const std::string& remotePath, const std::string& fileName) {
    return remotePath + fileName;
}

FtpStatus SendFile(IFtpClient& ftp, const LocationSettings& settings, const std::string& fileName) {
    ftp.SetHost(settings.FtpHost);
    ftp.SetUser(settings.FtpUser);
    ftp.SetPassword(settings.FtpPassword);

    FtpStatus status = ftp.Connect();
    if (!status.ok()) return status;
    while (!ftp.IsConnected()) {
        status = ftp.WaitForConnection();
        if (!status.ok()) return status;
    }

    status = ftp.Put(fileName, RemoteFileName(settings.RemotePath, fileName));
    if (!status.ok()) return status;

    ftp.Disconnect();
    return FtpStatus::Ok();
}

}  // namespace quendrel
