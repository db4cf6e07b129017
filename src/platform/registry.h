#pragma once
// Reading registry values, behind an interface so that the settings and the
// About dialog's lookup build and are tested without Windows.
#include <optional>
#include <string>

namespace quendrel {

// Which registry view a key is opened in. A 32-bit program on 64-bit Windows
// reads HKLM\SOFTWARE in the 32-bit view unless told otherwise.
enum class RegView { Bits32, Bits64 };
// The rights a key is opened with: a key that grants fewer cannot be read.
enum class RegAccess { Query, Full };

// A value as stored: its type and its bytes (a text with its terminating NUL,
// a number as its four bytes, lowest first).
struct RegValue {
    enum class Type { Text, Number, Other };
    Type type = Type::Other;
    std::string bytes;
};

class IRegistry {
public:
    virtual ~IRegistry() = default;
    // One value of a subkey of HKEY_LOCAL_MACHINE, the key opened in `view`
    // with `access`. Empty when the key cannot be opened so, or the value is
    // missing or cannot be read.
    virtual std::optional<RegValue> TryGetValue(const std::string& subkey, const std::string& name, RegView view,
                                                RegAccess access) = 0;
};

}  // namespace quendrel
