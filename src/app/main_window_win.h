#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "product.h"
#include "config/location_settings.h"
#include "platform/beep.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/unique_handle_win.h"
#include "scan/scan_controller.h"
#include "scan/scan_window.h"
#include "upload/send_data_command.h"
#include "upload/upload_port.h"

namespace quendrel {

inline constexpr const char* kMainWindowClass = "QuendrelMainWindow";

// Control identifiers of the main window, in tab order.
enum ControlId : int {
    kTabControl = 100,
    kEventList,
    kActionLabel,
    kClockLabel,
    kVinLabel,
    kVinField,
    kRouteLabel,
    kRouteField,
    kDealerLabel,
    kDealerField,
    kEnterButton,
    kScanList,
    kStatusLabel,
    kSendDataButton,
    kUploadLog,
    kUploadProgress,
};

enum MenuId : int { kMenuExit = 200, kMenuAbout = 201 };

inline constexpr int kScanPage = 0;
inline constexpr int kUploadPage = 1;

// What the main window uses from the outside world; tests put in their own.
struct MainWindowServices {
    IClock& clock;
    IFileSystem& files;
    IBeeper& beeper;
    IRegistry& registry;
    IUploadPort& upload;
};

// The main window: two tab pages ("Scan", "Upload"), menus and the clock.
class MainWindow final : public IScanWindow {
public:
    // Creates the window hidden and loads it: clock, event list, location
    // settings. Null when the location has no settings (the operator has been
    // told) or the window could not be made.
    static std::unique_ptr<MainWindow> Create(HINSTANCE instance, const MainWindowServices& services);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    void Show(int showCommand);
    HWND Handle() const { return hwnd_; }
    HWND Control(int id) const;
    const LocationSettings& Settings() const { return settings_; }
    const ScanController& Scan() const { return *scan_; }
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
    void ShowMessage(const std::string& text) override;

private:
    explicit MainWindow(const MainWindowServices& services);
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
    void OnClose(HWND hwnd);
    void OnDestroy(HWND hwnd);

    bool Load();
    void CreateControls();
    void UpdateClock();
    void FitDropDownWidth(HWND list);
    void SetLabelText(int id, const std::string& text);
    void ApplyVisibility();
    void SetControlVisible(int id, bool visible);
    void SelectPage(int page);
    void OnPageChanged();
    void OnSendData();
    void OnUploadEvents();
    void CloseIfLeaving();
    SendDataCommand& SendData();
    void MoveFocus(bool forward);
    int Twips(int twips) const;
    HWND FieldHandle(ScanField field) const;

    MainWindowServices services_;
    HWND hwnd_ = nullptr;
    UINT dpi_ = 96;
    unique_hfont font_;
    LocationSettings settings_;
    std::unique_ptr<ScanController> scan_;
    std::vector<HWND> controls_;  // by control id, from kTabControl on
    std::vector<int> tabOrder_;
    std::vector<bool> wantsVisible_;  // per control, apart from the page shown
    std::optional<std::uint32_t> statusColour_;  // none: the label's usual text colour
    HWND lastFocus_ = nullptr;
    bool choiceRunning_ = false;  // an event was chosen by the pick being handled
    // Upload: made on the first use, once the settings are loaded.
    class UploadView;
    std::unique_ptr<UploadView> uploadView_;
    std::unique_ptr<SendDataCommand> sendData_;
    bool busyPointer_ = false;
    bool closeAfterUpload_ = false;  // closed during an upload: destroy once it has unwound
};

// Handles one message of the program's message loop.
void ProcessMessage(MainWindow& window, MSG& msg);
// Runs the message loop until the main window is gone; returns the exit code.
int RunMessageLoop(MainWindow& window);

}  // namespace quendrel
