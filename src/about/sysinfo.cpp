#include "about/sysinfo.h"

#include <string_view>

#include "platform/text.h"

namespace quendrel {

Status GetKeyValue(IRegistry& registry, const std::string& keyName, const std::string& subKeyRef,
                   std::string& keyVal, bool& found) {
    found = false;
    const std::optional<RegValue> value = registry.TryGetValue(keyName, subKeyRef, RegView::Bits32, RegAccess::Full);
    if (!value || value->bytes.size() > kKeyValueBufferSize) {
        keyVal.clear();
        return Status::Ok();
    }
    if (value->bytes.empty()) return Status::Failed("The registry value holds no data.");
    std::string_view text = value->bytes;
    if (text.back() == '\0') text.remove_suffix(1);

    found = true;
    if (value->type == RegValue::Type::Text) {
        keyVal = text;
    } else if (value->type == RegValue::Type::Number) {
        keyVal = "&h" + HexDigits(std::string(text.rbegin(), text.rend()));  // the last byte first
    }
    return Status::Ok();
}

void StartSysInfo(IRegistry& registry, ISysInfoHost& host, const std::string& appTitle) {
    std::string sysInfoPath;
    bool found = false;
    Status looked = GetKeyValue(registry, kMsInfoSubkey, kMsInfoValueName, sysInfoPath, found);
    if (looked.ok() && !found) {
        // The second key names a folder that should hold the tool.
        looked = GetKeyValue(registry, kSharedToolsSubkey, kSharedToolsValueName, sysInfoPath, found);
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
