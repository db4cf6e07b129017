#pragma once
// Finding and starting the Windows System Information tool from the About
// dialog. The logic is portable; the registry, file and process calls it
// needs come through ISysInfoHost (Win32 in sysinfo_win.h, fakes in tests).
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/status.h"

namespace quendrel {

// An open key as the host hands it out; 0 is never a valid key.
using RegKeyToken = std::uintptr_t;

// The types of registry value the lookup tells apart.
enum class RegValueType { Text, Number, Other };

inline constexpr std::size_t kKeyValueBufferSize = 1024;

inline constexpr const char* kMsInfoSubkey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* kMsInfoValueName = "PATH";
inline constexpr const char* kSharedToolsSubkey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const char* kSharedToolsValueName = "MSINFO";
inline constexpr const char* kMsInfoFileName = "\\MSINFO32.EXE";
inline constexpr const char* kSysInfoUnavailableMessage = "System Information Is Unavailable At This Time";

class ISysInfoHost {
public:
    virtual ~ISysInfoHost() = default;

    // Opens `subkey` of HKEY_LOCAL_MACHINE with full access; false when it
    // cannot be opened so.
    virtual bool OpenLocalMachineKey(const std::string& subkey, RegKeyToken& key) = 0;
    // Reads the value into `data`, which holds `size` bytes. On return `size`
    // is the byte count of the value (also when it did not fit) and `type` its
    // type; false when the value is missing or did not fit.
    virtual bool QueryValue(RegKeyToken key, const std::string& name, RegValueType& type, unsigned char* data,
                            std::uint32_t& size) = 0;
    virtual void CloseKey(RegKeyToken key) = 0;

    // True when `path` names an existing file.
    virtual bool FileExists(const std::string& path) = 0;
    // Starts the program as a separate process with a normal window that
    // takes the focus, and returns at once. False when it could not start.
    virtual bool StartProgram(const std::string& path) = 0;
    // A message box with an OK button only.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};

// Reads one value of `keyName` under HKEY_LOCAL_MACHINE, the key opened with
// full access, into a 1024-byte buffer. `found` is true when a value was
// found; then a text sets `keyVal` to its text (a final NUL dropped), a number
// to "&h" and the hex digits of its bytes, last byte first, and other types
// leave it alone. Not found (and `keyVal` empty) when the key cannot be opened
// or the value is missing or longer than the buffer. Fails for a value of zero
// bytes, which cannot be read this way.
Status GetKeyValue(ISysInfoHost& host, const std::string& keyName, const std::string& subKeyRef,
                   std::string& keyVal, bool& found);

// Finds the System Information tool through the registry and starts it; when
// it cannot be found or started, says so in a message box captioned `appTitle`.
void StartSysInfo(ISysInfoHost& host, const std::string& appTitle);

}  // namespace quendrel
