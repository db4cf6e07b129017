#include "about/about_dialog_win.h"

#include "about/about_texts.h"
#include "about/sysinfo.h"
#include "platform/unique_handle_win.h"
#include "platform/window_util_win.h"

namespace quendrel {

namespace {

constexpr COLORREF kRuleHighlightColour = RGB(255, 255, 255);
constexpr COLORREF kRuleShadowColour = RGB(128, 128, 128);

// System Info's lookup over the file system, CreateProcess and MessageBox;
// its message boxes are owned by the dialog.
class Win32SysInfoHost final : public ISysInfoHost {
public:
    explicit Win32SysInfoHost(HWND owner) : owner_(owner) {}

    bool FileExists(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    bool StartProgram(const std::string& path) override {
        if (path.empty()) return false;
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION process{};
        std::string commandLine = "\"" + path + "\"";  // CreateProcessA may write into it
        if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process)) {
            return false;
        }
        // The tool runs on its own; nothing waits for it or watches it.
        unique_handle thread(process.hThread);
        unique_handle processHandle(process.hProcess);
        AllowSetForegroundWindow(process.dwProcessId);
        return true;
    }

    void ShowMessage(const std::string& text, const std::string& caption) override {
        MessageBoxA(owner_, text.c_str(), caption.c_str(), MB_OK);
    }

private:
    HWND owner_;
};

class AboutDialog {
public:
    explicit AboutDialog(IRegistry& registry) : registry_(registry) {}
    INT_PTR OnInitDialog(HWND dialog);
    INT_PTR OnCommand(HWND dialog, int id, int notification);
    INT_PTR OnPaint(HWND dialog);

private:
    int ToPixels(int twips) const { return TwipsToPixels(twips, dpi_); }
    HWND AddControl(HWND dialog, const char* className, const char* text, DWORD style, int id,
                    const TwipsRect& place);
    void SizeAndPlace(HWND dialog);
    void DrawLine(HDC dc, const TwipsLine& line, COLORREF colour, int width) const;

    IRegistry& registry_;
    unique_hfont font_;
    UINT dpi_ = 96;
};

HWND AboutDialog::AddControl(HWND dialog, const char* className, const char* text, DWORD style, int id,
                             const TwipsRect& place) {
    HWND control = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, ToPixels(place.left),
                                   ToPixels(place.top), ToPixels(place.width), ToPixels(place.height), dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                                   nullptr);
    if (control && font_) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return control;
}

void AboutDialog::SizeAndPlace(HWND dialog) {
    const auto [width, height] = OuterSize(dialog, about_layout::kClientWidth, about_layout::kClientHeight);

    // Centred over the owner, or on the screen's work area without one.
    RECT area{};
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (!owner || !GetWindowRect(owner, &area)) SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    int left = area.left + (area.right - area.left - width) / 2;
    int top = area.top + (area.bottom - area.top - height) / 2;
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    SetWindowPos(dialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR AboutDialog::OnInitDialog(HWND dialog) {
    dpi_ = WindowDpi(dialog);
    font_ = CreateMessageFont();
    if (font_) SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    SizeAndPlace(dialog);

    const AboutTexts texts = MakeAboutTexts(kQuendrelIdentity);
    SetWindowTextA(dialog, texts.caption.c_str());

    // Created in tab order: OK, the icon, System Info; the labels take no focus.
    HWND ok = AddControl(dialog, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, IDOK, about_layout::kOk);
    HWND icon = AddControl(dialog, "STATIC", "", SS_ICON, kAboutIconId, about_layout::kIcon);
    SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(ProgramIcon(GetModuleHandleA(nullptr))), 0);
    AddControl(dialog, "BUTTON", "&System Info...", BS_PUSHBUTTON | WS_TABSTOP, kAboutSysInfoId,
               about_layout::kSysInfo);
    const DWORD label = SS_LEFT | SS_NOPREFIX;
    AddControl(dialog, "STATIC", texts.title.c_str(), label, kAboutTitleId, about_layout::kTitle);
    AddControl(dialog, "STATIC", texts.version.c_str(), label, kAboutVersionId, about_layout::kVersion);
    AddControl(dialog, "STATIC", texts.description.c_str(), label, kAboutDescriptionId, about_layout::kDescription);
    AddControl(dialog, "STATIC", texts.disclaimer.c_str(), label, kAboutDisclaimerId, about_layout::kDisclaimer);

    SetFocus(ok);
    return FALSE;  // the focus is set
}

INT_PTR AboutDialog::OnCommand(HWND dialog, int id, int notification) {
    if (notification != BN_CLICKED) return FALSE;
    switch (id) {
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, id);
            return TRUE;
        case kAboutSysInfoId: {
            Win32SysInfoHost host(dialog);
            StartSysInfo(registry_, host, kQuendrelIdentity.title);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

void AboutDialog::DrawLine(HDC dc, const TwipsLine& line, COLORREF colour, int width) const {
    // The rule's lines are horizontal: a line `width` wide covers that many
    // pixel rows from its own row downwards.
    const unique_hpen pen(CreatePen(PS_SOLID, 1, colour));
    const unique_select_object selected(dc, pen.get());
    for (int row = 0; row < width; ++row) {
        MoveToEx(dc, ToPixels(line.x1), ToPixels(line.y1) + row, nullptr);
        LineTo(dc, ToPixels(line.x2) + 1, ToPixels(line.y2) + row);
    }
}

INT_PTR AboutDialog::OnPaint(HWND dialog) {
    const unique_hdc_paint dc(dialog);
    // The etched rule: a white line with a grey one just above it.
    DrawLine(dc.get(), about_layout::kRuleHighlight, kRuleHighlightColour, 2);
    DrawLine(dc.get(), about_layout::kRuleShadow, kRuleShadowColour, 1);
    return TRUE;
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        return reinterpret_cast<AboutDialog*>(lParam)->OnInitDialog(dialog);
    }
    auto* self = reinterpret_cast<AboutDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!self) return FALSE;
    switch (message) {
        case WM_COMMAND: return self->OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        case WM_PAINT: return self->OnPaint(dialog);
        default: return FALSE;
    }
}

// An empty in-memory dialog template; the controls are made at load.
struct alignas(4) EmptyDialogTemplate {
    WORD words[12];
};

EmptyDialogTemplate MakeTemplate() {
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EmptyDialogTemplate t{};
    t.words[0] = LOWORD(style);
    t.words[1] = HIWORD(style);
    // words[2..3]: extended style 0; [4]: no items; [5..8]: placed at load;
    // [9..11]: no menu, the standard dialog class, no caption yet.
    return t;
}

}  // namespace

void ShowAboutDialog(HWND owner, IRegistry& registry) {
    AboutDialog dialog(registry);
    const EmptyDialogTemplate dialogTemplate = MakeTemplate();
    DialogBoxIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(&dialogTemplate), owner,
                            AboutDialogProc, reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace quendrel
