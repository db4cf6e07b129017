// The main window's "Upload" page: Send Data, its log and progress, and
// closing while an upload runs.
#include "app/main_window_win.h"

#include <commctrl.h>

#include <algorithm>

namespace quendrel {

void MainWindow::SetLogText(const std::string& text) { SetWindowTextA(Control(kUploadLog), text.c_str()); }

void MainWindow::SetBusyPointer(bool busy) {
    busyPointer_ = busy;
    SetCursor(LoadCursorA(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void MainWindow::EnableSendData(bool enabled) { EnableWindow(Control(kSendDataButton), enabled); }

void MainWindow::ShowProgress(std::uint64_t sent, std::uint64_t total) {
    const auto steps = total == 0 ? kProgressSteps : static_cast<int>(std::min(sent, total) * kProgressSteps / total);
    SendMessageA(Control(kUploadProgress), PBM_SETPOS, static_cast<WPARAM>(steps), 0);
    if (!wantsVisible_[ControlSlot(kUploadProgress)]) SetControlVisible(kUploadProgress, true);
}

void MainWindow::HideProgress() { SetControlVisible(kUploadProgress, false); }

std::function<void()> MainWindow::UploadWake() {
    HWND hwnd = hwnd_;
    return [hwnd] { PostMessageA(hwnd, kUploadEvents, 0, 0); };
}

SendDataCommand& MainWindow::SendData() {
    if (!sendData_) {
        sendData_ = std::make_unique<SendDataCommand>(services_.files, services_.clock, services_.upload,
                                                      static_cast<ISendDataView&>(*this), settings_);
    }
    return *sendData_;
}

void MainWindow::OnSendData() {
    SendData().Run();
    CloseIfLeaving();
}

void MainWindow::OnUploadEvents() {
    if (!sendData_) return;
    sendData_->OnUploadEvents();
    CloseIfLeaving();
}

// Closed while an upload ran: the window goes once the upload has ended.
void MainWindow::CloseIfLeaving() {
    if (closeAfterUpload_ && !sendData_->Running() && hwnd_) DestroyWindow(hwnd_);
}

void MainWindow::OnClose(HWND hwnd) {
    if (sendData_ && sendData_->Running()) {
        // Stop the upload; the window closes when it has ended, and within
        // the deadline in any case.
        closeAfterUpload_ = true;
        sendData_->Abandon();
        SetTimer(hwnd, kCloseTimer, kCloseDeadlineMs, nullptr);
        CloseIfLeaving();
        return;
    }
    DestroyWindow(hwnd);
}

}  // namespace quendrel
