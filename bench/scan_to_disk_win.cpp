// How long from the Enter of a VIN-only scan until its record is on disk,
// against a bare append-and-flush of the same bytes, in the same run.
//   bench_scan_to_disk_win [iterations]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_window_win.h"
#include "platform/clock_win.h"

namespace {

using namespace quendrel;
using Clock = std::chrono::steady_clock;

// A location without touching the machine's registry.
class BenchRegistry final : public IRegistry {
    class Key final : public IRegKey {
    public:
        std::int32_t QueryRegValue(const std::string&, RegValue& value) override {
            value = RegValue::Text("3B31583D6C");  // l=X1;
            return 0;
        }
    };

public:
    std::unique_ptr<IRegKey> OpenLocalMachineKey(const std::string&, RegView) override {
        return std::make_unique<Key>();
    }
};

// The system's files, noting when each append (written and flushed) returns.
class TimedFiles final : public IFileSystem {
public:
    FileStatus AppendDurably(const std::string& name, const std::string& bytes) override {
        FileStatus status = SystemFileSystem().AppendDurably(name, bytes);
        onDisk = Clock::now();
        return status;
    }
    FileStatus ReadAll(const std::string& n, std::string& c) override { return SystemFileSystem().ReadAll(n, c); }
    FileStatus Size(const std::string& n, std::uint64_t& s) override { return SystemFileSystem().Size(n, s); }
    bool Exists(const std::string& n) override { return SystemFileSystem().Exists(n); }
    FileStatus WriteNew(const std::string& n, const std::string& c) override { return SystemFileSystem().WriteNew(n, c); }
    FileStatus ReplaceAtomically(const std::string& n, const std::string& c) override {
        return SystemFileSystem().ReplaceAtomically(n, c);
    }
    FileStatus Remove(const std::string& n) override { return SystemFileSystem().Remove(n); }

    Clock::time_point onDisk;
};

class SilentBeeper final : public IBeeper {
public:
    void Beep() override {}
};

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
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 500;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);

    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string work = std::string(dir) + "quendrel-bench";
    CreateDirectoryA(work.c_str(), nullptr);
    SetCurrentDirectoryA(work.c_str());
    DeleteFileA("savedata.dat");
    DeleteFileA("bare.dat");

    Win32Clock clock;
    SilentBeeper beeper;
    BenchRegistry registry;
    TimedFiles files;
    auto window = MainWindow::Create(GetModuleHandleA(nullptr), {clock, files, beeper, registry});
    if (!window) return 1;
    HWND list = window->Control(kEventList);
    SendMessageA(list, CB_SETCURSEL, 0, 0);
    SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(kEventList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    HWND vin = window->Control(kVinField);

    const std::string record = "UP1ABCD23E45F678901X1011108090507510          \r\n";
    std::vector<double> scan, bare;
    // The two take turns going first: a flush costs more or less depending on
    // what reached the disk just before it.
    for (int i = 0; i < iterations; ++i) {
        if (i % 2 == 1) bare.push_back(BareAppend("bare.dat", record));
        SetWindowTextA(vin, "]1ABCD23E45F678901");
        const auto start = Clock::now();
        SendMessageA(vin, WM_CHAR, '\r', 0);  // the Enter handler of the VIN field
        scan.push_back(std::chrono::duration<double, std::micro>(files.onDisk - start).count());
        if (i % 2 == 0) bare.push_back(BareAppend("bare.dat", record));
        // Let the window catch up between scans, as its message loop would.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    WIN32_FILE_ATTRIBUTE_DATA info;
    GetFileAttributesExA("savedata.dat", GetFileExInfoStandard, &info);
    const double scanMedian = Median(scan), bareMedian = Median(bare);
    std::printf("iterations: %d, savedata.dat: %lu bytes\n", iterations, info.nFileSizeLow);
    std::printf("scan Enter -> record on disk: median %.1f us\n", scanMedian);
    std::printf("bare append + flush:          median %.1f us\n", bareMedian);
    std::printf("ratio: %.2f\n", scanMedian / bareMedian);
    window.reset();
    DeleteFileA("savedata.dat");
    DeleteFileA("bare.dat");
    return 0;
}
