// Quendrel: records vehicle events by scan and uploads them to the location's server.
#include <windows.h>

#include "app/check_mode_win.h"
#include "app/main_window_win.h"
#include "app/working_folder_claim_win.h"
#include "config/settings_rules.h"
#include "platform/beep_win.h"
#include "platform/clock_win.h"
#include "platform/registry_win.h"
#include "scan/scan_record.h"

namespace {

// Start-up's one way of telling the operator something, before the window.
void Tell(const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), quendrel::kAppTitle, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    quendrel::Win32Registry registry;

    // The IT person's check of the PC: no window, and no claim on the folder,
    // so that it may run beside the operator's Quendrel.
    const quendrel::CheckRequest check = quendrel::CheckRequested(commandLine);
    if (check.wanted) return quendrel::RunCheck(registry, quendrel::SystemFileSystem(), check.quiet);

    // A Quendrel already runs in this folder: brought to the front, or named
    // when it runs for another user of the PC.
    const quendrel::TakenClaim taken = quendrel::WorkingFolderClaim::Take();
    if (!taken.claim) {
        if (!taken.refusal.ok()) Tell(taken.refusal.description);
        return 0;
    }

    quendrel::LocationSettings settings;
    const quendrel::Status loaded = quendrel::LoadSettingsAtStartUp(registry, settings);
    if (!loaded.ok()) {
        Tell(loaded.description);
        return 1;
    }
    const std::string missing = quendrel::MissingSettingsWarning(settings);
    if (!missing.empty()) Tell(missing);
    std::string pending;
    if (quendrel::SystemFileSystem().ReadAll(quendrel::kSaveDataFile, pending).ok()) {
        const quendrel::OtherLocationRecords other = quendrel::RecordsOfOtherLocations(pending, settings.LocationCode);
        if (other.count != 0) Tell(quendrel::OtherLocationMessage(other, settings.LocationCode));
    }

    quendrel::Win32Clock clock;
    quendrel::Win32Beeper beeper;
    // This PC's uploads are told apart from the location's other PCs' on the
    // server by the PC's name and the working folder.
    quendrel::FtpUploadPort upload(quendrel::SystemFileSystem(),
                                   quendrel::UploaderTag(quendrel::ComputerName(), quendrel::NormalizedWorkingFolder()));
    const quendrel::MainWindowServices services{clock, quendrel::SystemFileSystem(), beeper, registry, upload};
    const quendrel::MadeMainWindow made = quendrel::MainWindow::Create(instance, services, settings);
    if (!made.window) {
        Tell("Quendrel could not open its window: " + made.failure.description);
        return 1;
    }
    taken.claim->Publish(made.window->Handle());
    made.window->Show(showCommand);
    return quendrel::RunMessageLoop(*made.window);
}
