#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window_layout_win.h"
#include "config/location_settings.h"
#include "platform/beep.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/status.h"
#include "platform/unique_handle_win.h"
#include "product.h"
#include "scan/scan_controller.h"
#include "scan/scan_window.h"
#include "upload/send_data_command.h"
#include "upload/upload_port.h"

namespace quendrel {

inline constexpr const char* kMainWindowClass = "QuendrelMainWindow";

// What the main window uses from the outside world; tests put in their own.
struct MainWindowServices {
    IClock& clock;
    IFileSystem& files;
    IBeeper& beeper;
    IRegistry& registry;  // where the About dialog looks for System Information
    IUploadPort& upload;
};

class MainWindow;
// A main window, or why none could be made.
struct MadeMainWindow {
    std::unique_ptr<MainWindow> window;
    Status failure;
};

// The main window: two tab pages ("Scan", "Upload"), menus and the clock.
class MainWindow final : public IScanWindow, private ISendDataView {
public:
    // Creates the window hidden, for a location whose settings have been
    // checked; they must outlive the window.
    static MadeMainWindow Create(HINSTANCE instance, const MainWindowServices& services,
                                 const LocationSettings& settings);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    void Show(int showCommand);
    HWND Handle() const { return hwnd_; }
    HWND Control(int id) const;
    const ScanController& Scan() const { return scan_; }
    int CurrentPage() const;
    // The status label's colour as last set; 0 (black) before any message.
    std::uint32_t StatusColour() const { return statusColour_.value_or(0); }

    // Keyboard handling a dialog would do (Tab, Shift+Tab, Ctrl+Tab, Enter on
    // a button). True when the message was used and must not be dispatched.
    bool PreTranslateMessage(MSG& msg);

    // IScanWindow
    std::string FieldText(ScanField field) override;
    void SetFieldText(ScanField field, const std::string& text) override;
    void ShowVinField(bool visible) override;
    void ShowRouteAndDealer(bool visible) override;
    void FocusField(ScanField field) override;
    void SelectFieldText(ScanField field) override;
    void SetStatus(const std::string& text, std::uint32_t colour) override;
    std::string EventText() override;
    std::string ClockText() override;
    void AddScanListEntry(const std::string& entry) override;
    void Beep() override;
    // Also the Send Data command's message box.
    void ShowMessage(const std::string& text) override;

private:
    // ISendDataView: the "Upload" page as the Send Data command sees it.
    void SetLogText(const std::string& text) override;
    void SetBusyPointer(bool busy) override;
    void EnableSendData(bool enabled) override;
    void ShowProgress(std::uint64_t sent, std::uint64_t total) override;
    void HideProgress() override;
    std::function<void()> UploadWake() override;

    // Posted by the upload's thread when it has news for the Send Data command.
    static constexpr UINT kUploadEvents = WM_APP + 2;
    // Closed during an upload: how long the upload may take to unwind (and
    // remove what it made on the server) before the window goes all the same.
    static constexpr UINT_PTR kCloseTimer = 2;
    static constexpr UINT kCloseDeadlineMs = 400;

    MainWindow(const MainWindowServices& services, const LocationSettings& settings);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR data);
    std::optional<LRESULT> OnControlMessage(int id, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    bool OnCreate(HWND hwnd, LPCREATESTRUCT create);
    void OnCommand(HWND hwnd, int id, HWND control, UINT code);
    LRESULT OnNotify(HWND hwnd, int id, NMHDR* header);
    void OnEventPicked(UINT code);
    void OnTimer(HWND hwnd, UINT id);
    HBRUSH OnCtlColorStatic(HWND hwnd, HDC dc, HWND control, int type);
    void OnActivate(HWND hwnd, UINT state, HWND other, BOOL minimized);
    void OnSetFocus(HWND hwnd, HWND previous);
    BOOL OnSetCursor(HWND hwnd, HWND cursorWindow, UINT hitTest, UINT msg);
    void OnClose(HWND hwnd);
    void OnDestroy(HWND hwnd);

    void UpdateClock();
    void SetLabelText(int id, const std::string& text);
    void ApplyVisibility();
    void SetControlVisible(int id, bool visible);
    void SelectPage(int page);
    void OnPageChanged();
    void OnSendData();
    void OnUploadEvents();
    void CloseIfLeaving();
    SendDataCommand& SendData();
    HWND FieldHandle(ScanField field) const { return Control(SpecOf(field).control); }

    MainWindowServices services_;
    const LocationSettings& settings_;
    HWND hwnd_ = nullptr;
    unique_hfont font_;
    ScanController scan_;
    std::vector<HWND> controls_;  // by control id, from kTabControl on
    std::vector<bool> wantsVisible_;  // per control, apart from the page shown
    std::optional<std::uint32_t> statusColour_;  // none: the label's usual text colour
    HWND lastFocus_ = nullptr;
    bool choiceRunning_ = false;  // an event was chosen by the pick being handled
    std::unique_ptr<SendDataCommand> sendData_;  // made on the first use
    bool busyPointer_ = false;
    bool closeAfterUpload_ = false;  // closed during an upload: destroy once it has unwound
};

// Handles one message of the program's message loop.
void ProcessMessage(MainWindow& window, MSG& msg);
// Runs the message loop until the main window is gone; returns the exit code.
int RunMessageLoop(MainWindow& window);

}  // namespace quendrel
