#pragma once
// Read-only access to registry values, behind an interface so that the
// settings logic builds and is tested without Windows.
#include <cstdint>
#include <memory>
#include <string>

namespace quendrel {

// A value as the location settings reader understands it: text, a 32-bit
// signed number, or nothing.
struct RegValue {
    enum class Kind { None, Text, Number };
    Kind kind = Kind::None;
    std::string text;
    std::int32_t number = 0;

    static RegValue Text(std::string t) { RegValue v; v.kind = Kind::Text; v.text = std::move(t); return v; }
    static RegValue Number(std::int32_t n) { RegValue v; v.kind = Kind::Number; v.number = n; return v; }
};

// Which registry view a key is opened in. A 32-bit program on 64-bit Windows
// reads HKLM\SOFTWARE in the 32-bit view unless told otherwise.
enum class RegView { Bits32, Bits64 };

class IRegKey {
public:
    virtual ~IRegKey() = default;
    // Reads a value: a size query first, then the data. REG_SZ loses its last
    // byte, REG_DWORD is a signed number, any other type returns -1.
    // Returns 0 or the registry's error code; on failure `value` is unchanged.
    virtual std::int32_t QueryRegValue(const std::string& name, RegValue& value) = 0;
};

class IRegistry {
public:
    virtual ~IRegistry() = default;
    // Opens a subkey of HKEY_LOCAL_MACHINE for querying values only; null when
    // the key is missing or cannot be read.
    virtual std::unique_ptr<IRegKey> OpenLocalMachineKey(const std::string& subkey, RegView view) = 0;
};

}  // namespace quendrel
