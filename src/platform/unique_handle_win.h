#pragma once
// Single-owner wrappers for Win32 handles, in the manner of WIL's unique_hkey.
#include <windows.h>

#include <utility>

#include "platform/unique_handle.h"

namespace quendrel {

struct HkeyTraits : NullIsInvalid<HKEY> { static void Close(HKEY h) { ::RegCloseKey(h); } };
struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
template <typename Gdi>
struct GdiObjectTraits : NullIsInvalid<Gdi> { static void Close(Gdi h) { ::DeleteObject(h); } };
struct LocalMemoryTraits : NullIsInvalid<HLOCAL> { static void Close(HLOCAL h) { ::LocalFree(h); } };
struct MenuTraits : NullIsInvalid<HMENU> { static void Close(HMENU h) { ::DestroyMenu(h); } };
struct MappedViewTraits : NullIsInvalid<void*> { static void Close(void* view) { ::UnmapViewOfFile(view); } };

using unique_hkey = UniqueHandle<HKEY, HkeyTraits>;
using unique_hfile = UniqueHandle<HANDLE, FileHandleTraits>;
using unique_handle = UniqueHandle<HANDLE, KernelHandleTraits>;
using unique_hfont = UniqueHandle<HFONT, GdiObjectTraits<HFONT>>;
using unique_hpen = UniqueHandle<HPEN, GdiObjectTraits<HPEN>>;
using unique_hlocal = UniqueHandle<HLOCAL, LocalMemoryTraits>;
using unique_hmenu = UniqueHandle<HMENU, MenuTraits>;
using unique_mapview = UniqueHandle<void*, MappedViewTraits>;

// Owners of what a window paints with, in the manner of WIL's unique_hdc_window,
// unique_hdc_paint and unique_select_object: each undoes its call when it ends.
class unique_hdc_window {
public:
    explicit unique_hdc_window(HWND window) : window_(window), dc_(::GetDC(window)) {}
    ~unique_hdc_window() { if (dc_) ::ReleaseDC(window_, dc_); }
    unique_hdc_window(const unique_hdc_window&) = delete;
    unique_hdc_window& operator=(const unique_hdc_window&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

class unique_hdc_paint {
public:
    explicit unique_hdc_paint(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    ~unique_hdc_paint() { ::EndPaint(window_, &paint_); }
    unique_hdc_paint(const unique_hdc_paint&) = delete;
    unique_hdc_paint& operator=(const unique_hdc_paint&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

class unique_select_object {
public:
    unique_select_object(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~unique_select_object() { if (previous_) ::SelectObject(dc_, previous_); }
    unique_select_object(const unique_select_object&) = delete;
    unique_select_object& operator=(const unique_select_object&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace quendrel
