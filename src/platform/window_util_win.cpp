#include "platform/window_util_win.h"

#include <algorithm>

#include "platform/text.h"
#include "resource_ids.h"

namespace quendrel {

std::string WindowText(HWND window) {
    return FetchGrowing([&](char* buffer, std::size_t size) -> std::size_t {
        const auto needed = static_cast<std::size_t>(std::max(GetWindowTextLengthA(window), 0));
        if (needed >= size) return needed;
        return static_cast<std::size_t>(std::max(GetWindowTextA(window, buffer, static_cast<int>(size)), 0));
    });
}

UINT WindowDpi(HWND window) {
    // GetDpiForWindow exists from Windows 10 1607 on; older systems have one DPI.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window) {
        if (UINT dpi = getDpiForWindow(window)) return dpi;
    }
    const unique_hdc_window screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

SIZE OuterSize(HWND window, int widthTwips, int heightTwips) {
    const UINT dpi = WindowDpi(window);
    RECT frame{0, 0, TwipsToPixels(widthTwips, dpi), TwipsToPixels(heightTwips, dpi)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), GetMenu(window) != nullptr,
                       static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)));
    return {frame.right - frame.left, frame.bottom - frame.top};
}

unique_hfont CreateMessageFont() {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return unique_hfont();
    return unique_hfont(CreateFontIndirectA(&metrics.lfMessageFont));
}

HICON ProgramIcon(HINSTANCE instance) {
    if (HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_QUENDREL))) return icon;
    return LoadIconA(nullptr, IDI_APPLICATION);
}

}  // namespace quendrel
