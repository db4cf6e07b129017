#include "platform/registry_win.h"

#include <algorithm>
#include <vector>

#include "platform/unique_handle_win.h"

namespace quendrel {

namespace {

class Win32RegKey final : public IRegKey {
public:
    explicit Win32RegKey(unique_hkey key) : key_(std::move(key)) {}

    std::int32_t QueryRegValue(const std::string& name, RegValue& value) override {
        DWORD type = 0;
        DWORD size = 0;
        LONG status = RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS) return status;

        if (type == REG_SZ) {
            // The stored terminating NUL is not part of the text; a value of
            // zero bytes has no text at all and leaves `value` as it was.
            if (size == 0) return status;
            std::vector<char> buffer(size, '\0');
            status = RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(buffer.data()), &size);
            if (status != ERROR_SUCCESS) {
                value = RegValue{};
                return status;
            }
            if (size == 0) return status;
            value = RegValue::Text(std::string(buffer.data(), std::min<std::size_t>(size, buffer.size()) - 1));
            return status;
        }
        if (type == REG_DWORD) {
            DWORD number = 0;
            size = sizeof(number);
            status = RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(&number), &size);
            if (status == ERROR_SUCCESS) value = RegValue::Number(static_cast<std::int32_t>(number));
            return status;
        }
        return -1;
    }

private:
    unique_hkey key_;
};

}  // namespace

std::unique_ptr<IRegKey> Win32Registry::OpenLocalMachineKey(const std::string& subkey, RegView view) {
    const REGSAM viewFlag = view == RegView::Bits32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    unique_hkey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_QUERY_VALUE | viewFlag, key.put()) != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::make_unique<Win32RegKey>(std::move(key));
}

}  // namespace quendrel
