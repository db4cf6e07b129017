// Torture run: a whole shift of VIN-only scans typed back to back through the
// real input path, as a keyboard-wedge scanner fires them, into one main
// window. Checks that every scan is in savedata.dat, in order, and listed, and
// shows the time per scan from the start to the end of the run.
//   bench_scanner_burst_win [scans]   (default 10,000)
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

class CountingBeeper final : public IBeeper {
public:
    void Beep() override { ++count; }
    int count = 0;
};

// The VIN of scan `index`: distinct, so that order and loss show.
std::string Vin(int index) {
    char vin[32];
    std::snprintf(vin, sizeof vin, "1Q%015d", index);
    return vin;
}

void AddKey(std::vector<INPUT>& inputs, WORD vk, WCHAR unicode) {
    for (DWORD up : {0ul, static_cast<DWORD>(KEYEVENTF_KEYUP)}) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = unicode;
        input.ki.dwFlags = up | (unicode ? KEYEVENTF_UNICODE : 0);
        inputs.push_back(input);
    }
}

double MedianGap(const std::vector<Clock::time_point>& times, std::size_t from, std::size_t to) {
    std::vector<double> gaps;
    for (std::size_t i = from + 1; i < to; ++i)
        gaps.push_back(std::chrono::duration<double, std::milli>(times[i] - times[i - 1]).count());
    std::sort(gaps.begin(), gaps.end());
    return gaps.empty() ? 0 : gaps[gaps.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int scans = argc > 1 ? std::atoi(argv[1]) : 10000;
    constexpr int kBurst = 50;  // scans queued at once, ahead of the window

    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string work = std::string(dir) + "quendrel-burst";
    CreateDirectoryA(work.c_str(), nullptr);
    SetCurrentDirectoryA(work.c_str());
    DeleteFileA("savedata.dat");

    Win32Clock clock;
    CountingBeeper beeper;
    Win32Registry registry;
    const LocationSettings location = bench::BenchLocation();
    TimedFiles files;
    FtpUploadPort upload(files, NewRunTag());
    auto window = MainWindow::Create(GetModuleHandleA(nullptr), {clock, files, beeper, registry, upload}, location).window;
    if (!window) return 1;
    window->Show(SW_SHOWNORMAL);
    SetForegroundWindow(window->Handle());
    HWND events = window->Control(kEventList);
    SendMessageA(events, CB_SETCURSEL, 0, 0);
    SendMessageA(GetParent(events), WM_COMMAND, MAKEWPARAM(kEventList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(events));

    const auto start = Clock::now();
    bool stalled = false;
    for (int first = 0; first < scans && !stalled; first += kBurst) {
        // Every other burst starts with the focus on the scan list.
        if ((first / kBurst) % 2 == 1) SetFocus(window->Control(kScanList));
        std::vector<INPUT> inputs;
        const int last = std::min(scans, first + kBurst);
        for (int i = first; i < last; ++i) {
            for (char c : "]" + Vin(i)) AddKey(inputs, 0, static_cast<WCHAR>(c));
            AddKey(inputs, VK_RETURN, 0);
        }
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        MSG msg;
        while (files.stored.size() < static_cast<std::size_t>(last) && !(stalled = Clock::now() > deadline)) {
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ProcessMessage(*window, msg);
            else MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::string saved;
    if (!files.ReadAll("savedata.dat", saved).ok()) std::printf("savedata.dat could not be read\n");
    int inOrder = 0;
    for (std::size_t at = 0; inOrder < scans; ++inOrder) {
        if (saved.compare(at, 2, "UP") != 0 || saved.compare(at + 2, 17, Vin(inOrder)) != 0) break;
        at = saved.find("\r\n", at);
        if (at == std::string::npos) break;
        at += 2;
    }
    const int listLines = static_cast<int>(SendMessageA(window->Control(kScanList), EM_GETLINECOUNT, 0, 0));
    const std::size_t n = files.stored.size();
    std::printf("scans typed: %d in %.0f s%s; records stored: %zu; in order from the first: %d; beeps: %d\n", scans,
                seconds, stalled ? " (stalled)" : "", n, inOrder, beeper.count);
    std::printf("scan list lines: %d (3 per scan, plus the empty last line)\n", listLines);
    std::printf("median time per scan (ms), tenth by tenth of the run:");
    for (std::size_t tenth = 0; tenth < 10 && n >= 20; ++tenth)
        std::printf(" %.1f", MedianGap(files.stored, n * tenth / 10, n * (tenth + 1) / 10));
    std::printf("\n");
    const bool ok = !stalled && inOrder == scans && n == static_cast<std::size_t>(scans) && beeper.count == 0;
    window.reset();
    DeleteFileA("savedata.dat");
    return ok ? 0 : 2;
}
