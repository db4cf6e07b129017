#include "about/sysinfo.h"

#include <vector>

namespace quendrel {

namespace {

// Closes the key on every way out of GetKeyValue.
class KeyCloser {
public:
    KeyCloser(ISysInfoHost& host, RegKeyToken key) : host_(host), key_(key) {}
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;
    ~KeyCloser() { host_.CloseKey(key_); }

private:
    ISysInfoHost& host_;
    RegKeyToken key_;
};

std::string HexOfBytesReversed(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) {
        const auto byte = static_cast<unsigned char>(*it);
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

}  // namespace

bool GetKeyValue(ISysInfoHost& host, RegRootKey keyRoot, const std::string& keyName,
                 const std::string& subKeyRef, std::string& keyVal) {
    RegKeyToken key = 0;
    if (host.OpenKey(keyRoot, keyName, 0, kKeyAllAccess, key) != 0) {
        keyVal.clear();
        return false;
    }
    KeyCloser closer(host, key);

    std::vector<unsigned char> buffer(kKeyValueBufferSize, 0);
    std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
    std::uint32_t type = 0;
    if (host.QueryValue(key, subKeyRef, type, buffer.data(), size) != 0) {
        keyVal.clear();
        return false;
    }

    if (size == 0) throw SysInfoFailure("The registry value holds no data.");
    if (size > buffer.size()) throw SysInfoFailure("The registry returned more data than it was given room for.");
    std::size_t kept = size;
    if (buffer[size - 1] == 0) --kept;
    const std::string text(reinterpret_cast<const char*>(buffer.data()), kept);

    if (type == kRegSz) {
        keyVal = text;
    } else if (type == kRegDword) {
        keyVal = "&h" + HexOfBytesReversed(text);
    }
    return true;
}

void StartSysInfo(ISysInfoHost& host, const std::string& appTitle) {
    try {
        std::string sysInfoPath;
        bool found = false;
        if (GetKeyValue(host, kHkeyLocalMachine, kMsInfoSubkey, kMsInfoValueName, sysInfoPath)) {
            // The tool's full file name, started without testing that it exists.
            found = true;
        } else if (GetKeyValue(host, kHkeyLocalMachine, kSharedToolsSubkey, kSharedToolsValueName, sysInfoPath)) {
            // A folder that should hold the tool.
            sysInfoPath += kMsInfoFileName;
            found = host.FileExists(sysInfoPath);
        }
        if (found && host.StartProgram(sysInfoPath)) return;
    } catch (const std::exception&) {
        // Reported below, like every other way of not starting the tool.
    }
    host.ShowMessage(kSysInfoUnavailableMessage, appTitle);
}

}  // namespace quendrel
