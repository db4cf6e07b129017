// Times the upload of one batch through the WinINet client, as Send Data
// does it (connect, wait, put, disconnect). Driven by upload_vs_curl.sh,
// which times curl -T on the same file against the same server.
//   bench_upload_batch_win HOST:PORT USER PASSWORD FILE [ROUNDS]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "config/location_settings.h"
#include "platform/ftp_client_win.h"
#include "upload/send_file.h"

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s HOST:PORT USER PASSWORD FILE [ROUNDS]\n", argv[0]);
        return 2;
    }
    const quendrel::LocationSettings settings{argv[1], argv[2], argv[3], "/", "X1"};
    const int rounds = argc > 5 ? std::atoi(argv[5]) : 5;
    quendrel::WinInetFtpClient ftp;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const quendrel::FtpStatus status = quendrel::SendFile(ftp, settings, argv[4]);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!status.ok()) {
            std::fprintf(stderr, "upload failed: %s\n", status.description.c_str());
            return 1;
        }
        std::printf("%.4f\n", seconds);
    }
    return 0;
}
