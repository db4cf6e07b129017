#pragma once
// Finding and starting the Windows System Information tool from the About
// dialog. The logic is portable; the registry, file and process calls it
// needs come through ISysInfoHost (Win32 in sysinfo_win.h, fakes in tests).
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace quendrel {

// A predefined registry root key, as its 32-bit handle value.
using RegRootKey = std::uint32_t;
inline constexpr RegRootKey kHkeyLocalMachine = 0x80000002u;

// An open key as the host hands it out; 0 is never a valid key.
using RegKeyToken = std::uintptr_t;

inline constexpr std::uint32_t kKeyAllAccess = 0x2003Fu;  // KEY_ALL_ACCESS
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::size_t kKeyValueBufferSize = 1024;

inline constexpr const char* kMsInfoSubkey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* kMsInfoValueName = "PATH";
inline constexpr const char* kSharedToolsSubkey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const char* kSharedToolsValueName = "MSINFO";
inline constexpr const char* kMsInfoFileName = "\\MSINFO32.EXE";
inline constexpr const char* kSysInfoUnavailableMessage = "System Information Is Unavailable At This Time";

// Raised by a host operation that fails outright, and by GetKeyValue for a
// value it cannot read; StartSysInfo turns it into its message.
class SysInfoFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ISysInfoHost {
public:
    virtual ~ISysInfoHost() = default;

    // RegOpenKeyExA: 0 and `key` set on success, the registry's error code otherwise.
    virtual std::int32_t OpenKey(RegRootKey root, const std::string& subkey, std::uint32_t options,
                                 std::uint32_t access, RegKeyToken& key) = 0;
    // RegQueryValueExA into `data`, which holds `size` bytes. On return `size`
    // is the byte count of the value (also when it did not fit) and `type` its type.
    virtual std::int32_t QueryValue(RegKeyToken key, const std::string& name, std::uint32_t& type,
                                    unsigned char* data, std::uint32_t& size) = 0;
    // RegCloseKey; its status does not matter.
    virtual void CloseKey(RegKeyToken key) = 0;

    // True when `path` names an existing file.
    virtual bool FileExists(const std::string& path) = 0;
    // Starts the program as a separate process with a normal window that
    // takes the focus, and returns at once. False when it could not start.
    virtual bool StartProgram(const std::string& path) = 0;
    // A message box with an OK button only.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};

// Reads one value of `keyName` under `keyRoot`, the key opened with full
// access, into a 1024-byte buffer. True when a value was found; then REG_SZ
// sets `keyVal` to its text (a final NUL dropped), REG_DWORD to "&h" and the
// hex digits of its bytes, last byte first, and other types leave it alone.
// False (and `keyVal` empty) when the key cannot be opened or the value is
// missing or longer than the buffer. Throws SysInfoFailure for a value of
// zero bytes.
bool GetKeyValue(ISysInfoHost& host, RegRootKey keyRoot, const std::string& keyName,
                 const std::string& subKeyRef, std::string& keyVal);

// Finds the System Information tool through the registry and starts it; when
// it cannot be found or started, says so in a message box captioned `appTitle`.
void StartSysInfo(ISysInfoHost& host, const std::string& appTitle);

}  // namespace quendrel
