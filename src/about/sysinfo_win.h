#pragma once
#include <windows.h>

#include "about/sysinfo.h"

namespace quendrel {

// ISysInfoHost over advapi32, the file system, CreateProcess and MessageBox.
// Keys are opened in the 32-bit registry view in every build, which is the
// view the shipped 32-bit program sees, so the 64-bit build behaves the same.
class Win32SysInfoHost final : public ISysInfoHost {
public:
    // Message boxes are owned by `owner` (may be null).
    explicit Win32SysInfoHost(HWND owner) : owner_(owner) {}

    bool OpenLocalMachineKey(const std::string& subkey, RegKeyToken& key) override;
    bool QueryValue(RegKeyToken key, const std::string& name, RegValueType& type, unsigned char* data,
                    std::uint32_t& size) override;
    void CloseKey(RegKeyToken key) override;
    bool FileExists(const std::string& path) override;
    bool StartProgram(const std::string& path) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

private:
    HWND owner_;
};

}  // namespace quendrel
