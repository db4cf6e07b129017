// Times Send Data end to end as the operator's click runs it: build of the
// batch from savedata.dat, transfer on the upload's thread, the server's
// confirmation, and the rewrite of savedata.dat. Prints per round the total
// and its three parts, in seconds, then the process's peak memory in bytes
// ("peak N"). Driven by upload_vs_curl.sh, which times curl -T of the same
// batch against the same server.
//   bench_send_data_win HOST:PORT USER PASSWORD SERVER_FOLDER RECORDS [ROUNDS [REMOTE_PATH [PIN]]]
// SERVER_FOLDER is the Windows path of the server's folder that REMOTE_PATH
// (default "/") names, so that each round's batch can be taken off the server
// before the next one. With PIN the upload goes over TLS to the server whose
// key that is.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>

#include "config/location_settings.h"
#include "platform/files.h"
#include "upload/send_data_command.h"
#include "upload/upload_batch.h"
#include "upload/upload_port.h"

namespace {

using Clock = std::chrono::steady_clock;

class FixedClock final : public quendrel::IClock {
public:
    quendrel::LocalTime Now() override { return {2001, 11, 8, 9, 5, 7}; }
};

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Notes when each log line appears (the boundaries between the parts), and
// hands the upload's events over as the window's thread would take them.
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
    void ShowProgress(std::uint64_t, std::uint64_t) override {}
    void HideProgress() override {}
    std::function<void()> UploadWake() override {
        return [this] {
            std::lock_guard<std::mutex> hold(lock_);
            woken_ = true;
            wake_.notify_one();
        };
    }
    void WaitForWake() {
        std::unique_lock<std::mutex> hold(lock_);
        wake_.wait(hold, [this] { return woken_; });
        woken_ = false;
    }

private:
    std::mutex lock_;
    std::condition_variable wake_;
    bool woken_ = false;
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s HOST:PORT USER PASSWORD SERVER_FOLDER RECORDS [ROUNDS]\n", argv[0]);
        return 2;
    }
    quendrel::LocationSettings settings{argv[1], argv[2], argv[3], argc > 7 ? argv[7] : "/", "X1"};
    if (argc > 8) {
        settings.FtpTls = "1";
        settings.ServerKeyPin = argv[8];
    }
    const std::string serverFolder = argv[4];
    const int records = std::atoi(argv[5]);
    const int rounds = argc > 6 ? std::atoi(argv[6]) : 5;

    quendrel::IFileSystem& files = quendrel::SystemFileSystem();
    FixedClock clock;
    quendrel::FtpUploadPort upload(files, quendrel::NewRunTag());
    const std::string batch = quendrel::UploadFileName(clock.Now(), settings.LocationCode);
    for (int i = 0; i < rounds; ++i) {
        static_cast<void>(files.Remove(batch));  // the round before may have left it
        ::DeleteFileA((serverFolder + "\\" + batch).c_str());
        ::RemoveDirectoryA((serverFolder + "\\" + batch + ".claim").c_str());
        {
            // Written a line at a time, so that the peak below is Send Data's own.
            std::ofstream savedata(quendrel::kSaveDataFile, std::ios::binary | std::ios::trunc);
            for (int r = 0; r < records; ++r) {
                char line[64];
                std::snprintf(line, sizeof line, "UP1ABCD23E45F%06dX10111080905075500042123456\r\n", r % 1000000);
                savedata << line;
            }
            if (!savedata.flush()) return 1;
        }
        TimingView view;
        quendrel::SendDataCommand command(files, clock, upload, view, settings);
        const auto start = Clock::now();
        command.Run();
        while (command.Running()) {
            view.WaitForWake();
            command.OnUploadEvents();
        }
        const auto end = Clock::now();
        if (!view.failure.empty() || files.Exists(quendrel::kSaveDataFile)) {
            std::fprintf(stderr, "Send Data failed: %s\n", view.failure.c_str());
            return 1;
        }
        // total, build, transfer with confirmation, rewrite of savedata.dat
        std::printf("%.4f %.4f %.4f %.4f\n", Seconds(end - start), Seconds(view.built - start),
                    Seconds(view.sent - view.built), Seconds(end - view.sent));
        std::fflush(stdout);
        // What follows "File Sent." (the claim released, the folder tidied)
        // is not timed, and must not hold up the next round.
        ::Sleep(500);
    }
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory))
        std::printf("peak %llu\n", static_cast<unsigned long long>(memory.PeakWorkingSetSize));
    return 0;
}
