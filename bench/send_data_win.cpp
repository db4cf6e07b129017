// Times Send Data end to end as the operator's click runs it: build of the
// batch from savedata.dat, transfer, the server's confirmation, and the
// rewrite of savedata.dat. Prints per round the total and its three parts, in
// seconds. Driven by upload_vs_curl.sh, which times curl -T of the same batch
// against the same server.
//   bench_send_data_win HOST:PORT USER PASSWORD SERVER_FOLDER RECORDS [ROUNDS]
// SERVER_FOLDER is the Windows path of the server's folder for "/", so that
// each round's batch can be taken off the server before the next one.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "config/location_settings.h"
#include "platform/files.h"
#include "platform/ftp_client_win.h"
#include "upload/send_data_command.h"
#include "upload/upload_batch.h"

namespace {

using Clock = std::chrono::steady_clock;

class FixedClock final : public quendrel::IClock {
public:
    quendrel::LocalTime Now() override { return {2001, 11, 8, 9, 5, 7}; }
};

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Notes when each log line appears: the boundaries between the parts.
class TimingView final : public quendrel::ISendDataView {
public:
    Clock::time_point built, sent;
    std::string failure;
    void SetLogText(const std::string& text) override {
        const std::string sending = quendrel::kLogSending, sentSuffix = quendrel::kLogSentSuffix;
        if (EndsWith(text, sending)) built = Clock::now();
        if (EndsWith(text, sentSuffix)) sent = Clock::now();
    }
    void SetBusyPointer(bool) override {}
    void ShowMessage(const std::string& text) override { failure = text; }
    void EnableSendData(bool) override {}
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s HOST:PORT USER PASSWORD SERVER_FOLDER RECORDS [ROUNDS]\n", argv[0]);
        return 2;
    }
    const quendrel::LocationSettings settings{argv[1], argv[2], argv[3], "/", "X1"};
    const std::string serverFolder = argv[4];
    const int records = std::atoi(argv[5]);
    const int rounds = argc > 6 ? std::atoi(argv[6]) : 5;

    std::string savedata;
    for (int i = 0; i < records; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "UP1ABCD23E45F%06dX10111080905075500042123456\r\n", i % 1000000);
        savedata += line;
    }
    quendrel::IFileSystem& files = quendrel::SystemFileSystem();
    FixedClock clock;
    quendrel::WinInetFtpClient ftp;
    const std::string batch = quendrel::UploadFileName(clock.Now(), settings.LocationCode);
    for (int i = 0; i < rounds; ++i) {
        static_cast<void>(files.Remove(batch));  // the round before may have left it
        ::DeleteFileA((serverFolder + "\\" + batch).c_str());
        if (!files.WriteNew(quendrel::kSaveDataFile, savedata).ok()) return 1;
        TimingView view;
        quendrel::SendDataCommand command(files, clock, ftp, view, settings);
        const auto start = Clock::now();
        command.Run();
        const auto end = Clock::now();
        if (!view.failure.empty() || files.Exists(quendrel::kSaveDataFile)) {
            std::fprintf(stderr, "Send Data failed: %s\n", view.failure.c_str());
            return 1;
        }
        // total, build, transfer with confirmation, rewrite of savedata.dat
        std::printf("%.4f %.4f %.4f %.4f\n", Seconds(end - start), Seconds(view.built - start),
                    Seconds(view.sent - view.built), Seconds(end - view.sent));
    }
    return 0;
}
