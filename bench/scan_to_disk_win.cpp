// How long the Enter of a VIN-only scan takes until its record is on disk and
// the scan list shows it (painted), with a scan list already holding 10, 1,000
// and 10,000 entries, against a bare append-and-flush of the same bytes in the
// same run.
//   bench_scan_to_disk_win [iterations per size] [list sizes...]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_window_win.h"
#include "bench_location_win.h"
#include "platform/registry_win.h"
#include "timed_files_win.h"
#include "platform/clock_win.h"

namespace {

using namespace quendrel;
using Clock = std::chrono::steady_clock;
using bench::TimedFiles;

class SilentBeeper final : public IBeeper {
public:
    void Beep() override {}
};

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double BareAppend(const std::string& name, const std::string& bytes) {
    const auto start = Clock::now();
    HANDLE file = CreateFileA(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    FlushFileBuffers(file);
    CloseHandle(file);
    return Micros(Clock::now() - start);
}

// Lets the window catch up between scans, as its message loop would.
void Pump(MainWindow& window) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ProcessMessage(window, msg);
}

// A scan list of `count` entries, as that many earlier saves left it.
std::string EarlierEntries(int count) {
    const std::string entry = "1ABCD23E45F678901            \r\n510 Vehicle Received\r\n12/8/2026 4:25:28 AM\r\n";
    std::string text;
    text.reserve(entry.size() * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) text += entry;
    return text;
}

// One main window whose scan list holds `entries` earlier entries.
class Subject {
public:
    Subject(int entries, const MainWindowServices& services, const LocationSettings& location)
        : entries_(entries), earlier_(EarlierEntries(entries)),
          window_(MainWindow::Create(GetModuleHandleA(nullptr), services, location).window) {
        if (!window_) return;
        window_->Show(SW_SHOWNORMAL);
        HWND events = window_->Control(kEventList);
        SendMessageA(events, CB_SETCURSEL, 0, 0);
        SendMessageA(GetParent(events), WM_COMMAND, MAKEWPARAM(kEventList, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(events));
        Pump(*window_);
    }
    bool Ok() const { return window_ != nullptr; }
    int Entries() const { return entries_; }

    // The whole Enter of one scan: until the record is on disk and the list
    // has been painted with its entry. Also notes when the record was on disk.
    double Scan(TimedFiles& files, double& onDisk) {
        HWND list = window_->Control(kScanList);
        // The list grows by one entry per scan: it starts again from
        // `entries` often enough never to hold a tenth more (at least 10).
        if (scans_++ % std::max(10, entries_ / 10) == 0) {
            SetWindowTextA(list, earlier_.c_str());
            UpdateWindow(list);
            Pump(*window_);
        }
        HWND vin = window_->Control(kVinField);
        SetWindowTextA(vin, "]1ABCD23E45F678901");
        const auto start = Clock::now();
        SendMessageA(vin, WM_CHAR, '\r', 0);  // the Enter handler of the VIN field
        UpdateWindow(list);
        const auto end = Clock::now();
        onDisk = Micros(files.stored.back() - start);
        Pump(*window_);
        return Micros(end - start);
    }

private:
    int entries_;
    std::string earlier_;
    std::unique_ptr<MainWindow> window_;
    int scans_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 200;
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {10, 1000, 10000};

    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string work = std::string(dir) + "quendrel-bench";
    CreateDirectoryA(work.c_str(), nullptr);
    SetCurrentDirectoryA(work.c_str());
    DeleteFileA("savedata.dat");
    DeleteFileA("bare.dat");

    Win32Clock clock;
    SilentBeeper beeper;
    Win32Registry registry;
    const LocationSettings location = bench::BenchLocation();
    TimedFiles files;
    FtpUploadPort upload(SystemFileSystem(), NewRunTag());
    const MainWindowServices services{clock, files, beeper, registry, upload};
    std::vector<std::unique_ptr<Subject>> subjects;
    for (int entries : sizes) {
        subjects.push_back(std::make_unique<Subject>(entries, services, location));
        if (!subjects.back()->Ok()) return 1;
    }

    // Round by round, every list size and the bare append take their turn, so
    // that the load of the machine weighs on all of them alike; the order
    // turns with each round.
    const std::string record = "UP1ABCD23E45F678901X1011108090507510          \r\n";
    const std::size_t turns = subjects.size() + 1;
    std::vector<std::vector<double>> enter(subjects.size()), onDisk(subjects.size());
    std::vector<double> bare;
    for (int round = 0; round < iterations; ++round) {
        for (std::size_t t = 0; t < turns; ++t) {
            const std::size_t who = (t + static_cast<std::size_t>(round)) % turns;
            if (who == subjects.size()) {
                bare.push_back(BareAppend("bare.dat", record));
                continue;
            }
            double disk = 0;
            enter[who].push_back(subjects[who]->Scan(files, disk));
            onDisk[who].push_back(disk);
        }
    }

    const double bareMedian = Median(bare);
    std::printf("median of %d scans per list size, microseconds; bare append + flush: %.1f\n", iterations,
                bareMedian);
    std::printf("%8s %12s %12s %12s\n", "entries", "whole Enter", "on disk", "Enter/bare");
    for (std::size_t i = 0; i < subjects.size(); ++i) {
        std::printf("%8d %12.1f %12.1f %12.2f\n", subjects[i]->Entries(), Median(enter[i]), Median(onDisk[i]),
                    Median(enter[i]) / bareMedian);
    }
    if (subjects.size() > 1) {
        std::printf("whole Enter at %d entries / at %d entries: %.2f\n", sizes.back(), sizes.front(),
                    Median(enter.back()) / Median(enter.front()));
    }
    subjects.clear();
    DeleteFileA("savedata.dat");
    DeleteFileA("bare.dat");
    return 0;
}
