// Quendrel: records vehicle events by scan and uploads them to the location's server.
#include <windows.h>

#include "app/check_mode_win.h"
#include "app/main_window_win.h"
#include "app/single_instance_win.h"
#include "platform/beep_win.h"
#include "platform/clock_win.h"
#include "platform/registry_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    // The IT person's check of the PC: no window, and no claim on the folder,
    // so that it may run beside the operator's Quendrel.
    const quendrel::CheckRequest check = quendrel::CheckRequested(commandLine);
    if (check.wanted) {
        quendrel::Win32Registry registry;
        return quendrel::RunCheck(registry, quendrel::SystemFileSystem(), check.quiet);
    }

    // A Quendrel already runs in this folder: brought to the front, or named
    // when it runs for another user of the PC.
    std::string refusal;
    std::unique_ptr<quendrel::WorkingFolderClaim> claim = quendrel::WorkingFolderClaim::Take(refusal);
    if (!claim) {
        if (!refusal.empty()) MessageBoxA(nullptr, refusal.c_str(), quendrel::kAppTitle, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }

    quendrel::Win32Clock clock;
    quendrel::Win32Beeper beeper;
    quendrel::Win32Registry registry;
    quendrel::FtpUploadPort upload(quendrel::SystemFileSystem());
    const quendrel::MainWindowServices services{clock, quendrel::SystemFileSystem(), beeper, registry, upload};

    std::unique_ptr<quendrel::MainWindow> window = quendrel::MainWindow::Create(instance, services);
    if (!window) return 1;  // no location settings: the operator has been told
    claim->Publish(window->Handle());
    window->Show(showCommand);
    return quendrel::RunMessageLoop(*window);
}
