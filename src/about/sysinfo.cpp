#include "about/sysinfo.h"

#include <vector>

#include "config/settings_rules.h"

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

}  // namespace

Status GetKeyValue(ISysInfoHost& host, const std::string& keyName, const std::string& subKeyRef,
                   std::string& keyVal, bool& found) {
    found = false;
    RegKeyToken key = 0;
    if (!host.OpenLocalMachineKey(keyName, key)) {
        keyVal.clear();
        return Status::Ok();
    }
    KeyCloser closer(host, key);

    std::vector<unsigned char> buffer(kKeyValueBufferSize, 0);
    std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
    RegValueType type = RegValueType::Other;
    if (!host.QueryValue(key, subKeyRef, type, buffer.data(), size)) {
        keyVal.clear();
        return Status::Ok();
    }

    if (size == 0) return Status::Failed("The registry value holds no data.");
    if (size > buffer.size()) return Status::Failed("The registry returned more data than it was given room for.");
    std::size_t kept = size;
    if (buffer[size - 1] == 0) --kept;
    const std::string text(reinterpret_cast<const char*>(buffer.data()), kept);

    found = true;
    if (type == RegValueType::Text) {
        keyVal = text;
    } else if (type == RegValueType::Number) {
        keyVal = "&h" + EncodeRegCode(text);  // the same digits, last byte first
    }
    return Status::Ok();
}

void StartSysInfo(ISysInfoHost& host, const std::string& appTitle) {
    std::string sysInfoPath;
    bool found = false;
    Status looked = GetKeyValue(host, kMsInfoSubkey, kMsInfoValueName, sysInfoPath, found);
    if (looked.ok() && !found) {
        // The second key names a folder that should hold the tool.
        looked = GetKeyValue(host, kSharedToolsSubkey, kSharedToolsValueName, sysInfoPath, found);
        if (found) {
            sysInfoPath += kMsInfoFileName;
            found = host.FileExists(sysInfoPath);
        }
    }
    // The first key's value is the tool's full file name, started without testing that it exists.
    if (looked.ok() && found && host.StartProgram(sysInfoPath)) return;
    host.ShowMessage(kSysInfoUnavailableMessage, appTitle);
}

}  // namespace quendrel
