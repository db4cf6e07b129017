#pragma once
#include <windows.h>

#include "about/sysinfo.h"

namespace quendrel {

// ISysInfoHost over the file system, CreateProcess and MessageBox.
class Win32SysInfoHost final : public ISysInfoHost {
public:
    // Message boxes are owned by `owner` (may be null).
    explicit Win32SysInfoHost(HWND owner) : owner_(owner) {}

    bool FileExists(const std::string& path) override;
    bool StartProgram(const std::string& path) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

private:
    HWND owner_;
};

}  // namespace quendrel
