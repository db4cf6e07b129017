#pragma once
// Single-owner wrappers for Win32 handles, in the manner of WIL's unique_hkey.
#include <windows.h>
#include <wininet.h>

#include <utility>

namespace quendrel {

template <typename Handle, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : handle_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return Traits::IsValid(handle_); }
    Handle* put() { reset(); return &handle_; }
    Handle release() { return std::exchange(handle_, Traits::Invalid()); }
    void reset(Handle h = Traits::Invalid()) {
        Handle old = std::exchange(handle_, h);
        if (Traits::IsValid(old)) Traits::Close(old);
    }

private:
    Handle handle_ = Traits::Invalid();
};

struct HkeyTraits {
    static HKEY Invalid() { return nullptr; }
    static bool IsValid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { ::RegCloseKey(h); }
};
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
struct InternetHandleTraits {
    static HINTERNET Invalid() { return nullptr; }
    static bool IsValid(HINTERNET h) { return h != nullptr; }
    static void Close(HINTERNET h) { ::InternetCloseHandle(h); }
};
struct LocalMemoryTraits {
    static HLOCAL Invalid() { return nullptr; }
    static bool IsValid(HLOCAL h) { return h != nullptr; }
    static void Close(HLOCAL h) { ::LocalFree(h); }
};
struct GdiObjectTraits {
    static HGDIOBJ Invalid() { return nullptr; }
    static bool IsValid(HGDIOBJ h) { return h != nullptr; }
    static void Close(HGDIOBJ h) { ::DeleteObject(h); }
};

using unique_hkey = UniqueHandle<HKEY, HkeyTraits>;
using unique_hfile = UniqueHandle<HANDLE, FileHandleTraits>;
using unique_handle = UniqueHandle<HANDLE, KernelHandleTraits>;
using unique_hinternet = UniqueHandle<HINTERNET, InternetHandleTraits>;
using unique_hlocal = UniqueHandle<HLOCAL, LocalMemoryTraits>;
using unique_hgdiobj = UniqueHandle<HGDIOBJ, GdiObjectTraits>;

}  // namespace quendrel
