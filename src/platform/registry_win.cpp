#include "platform/registry_win.h"

#include <windows.h>

#include "platform/text.h"
#include "platform/unique_handle_win.h"

namespace quendrel {

std::optional<RegValue> Win32Registry::TryGetValue(const std::string& subkey, const std::string& name, RegView view,
                                                   RegAccess access) {
    const REGSAM rights = (access == RegAccess::Query ? KEY_QUERY_VALUE : KEY_ALL_ACCESS) |
                          (view == RegView::Bits32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY);
    unique_hkey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, rights, key.put()) != ERROR_SUCCESS) return std::nullopt;

    DWORD type = REG_NONE;
    LONG status = ERROR_SUCCESS;
    // One byte of the buffer stays unused, so that a value that fills it is
    // told apart from one that does not fit.
    std::string bytes = FetchGrowing([&](char* buffer, std::size_t size) -> std::size_t {
        DWORD room = static_cast<DWORD>(size - 1);
        status = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &room);
        return status == ERROR_SUCCESS || status == ERROR_MORE_DATA ? room : 0;
    });
    if (status != ERROR_SUCCESS) return std::nullopt;
    RegValue value;
    value.type = type == REG_SZ ? RegValue::Type::Text
                 : type == REG_DWORD ? RegValue::Type::Number : RegValue::Type::Other;
    value.bytes = std::move(bytes);
    return value;
}

}  // namespace quendrel
