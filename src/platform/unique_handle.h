#pragma once
// Single-owner wrappers for handles of the system and of libraries, in the
// manner of WIL's unique_any: a handle type and traits that say which value
// means none and how a handle is closed.
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

// Handles for which null means none.
template <typename Handle>
struct NullIsInvalid {
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
};

}  // namespace quendrel
