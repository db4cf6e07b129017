#pragma once
// Finding and starting the Windows System Information tool from the About
// dialog. The logic is portable; the registry, file and process calls it
// needs come through IRegistry and ISysInfoHost (the About dialog's own for
// Windows, fakes in tests).
#include <cstddef>
#include <string>

#include "platform/registry.h"
#include "platform/status.h"

namespace quendrel {

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

    // True when `path` names an existing file.
    virtual bool FileExists(const std::string& path) = 0;
    // Starts the program as a separate process with a normal window that
    // takes the focus, and returns at once. False when it could not start.
    virtual bool StartProgram(const std::string& path) = 0;
    // A message box with an OK button only.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};

// Reads one value of `keyName` under HKEY_LOCAL_MACHINE in the 32-bit view,
// the key opened with full access. Found: a text sets `keyVal` to its text (a
// final NUL dropped), a number to "&h" and the hex digits of its bytes, last
// byte first; other types leave it alone. Not found (and `keyVal` empty): the
// key cannot be opened so, or the value is missing or over 1024 bytes. Fails
// for a value of zero bytes.
Status GetKeyValue(IRegistry& registry, const std::string& keyName, const std::string& subKeyRef,
                   std::string& keyVal, bool& found);

// Finds the System Information tool through the registry and starts it; when
// it cannot be found or started, says so in a message box captioned `appTitle`.
void StartSysInfo(IRegistry& registry, ISysInfoHost& host, const std::string& appTitle);

}  // namespace quendrel
