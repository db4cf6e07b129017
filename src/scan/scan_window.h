#pragma once
#include <cstdint>
#include <string>

#include "scan/scan_fields.h"

namespace quendrel {

// The status label's colours, as Windows colour values (COLORREF, 0x00bbggrr).
inline constexpr std::uint32_t kStatusRed = 0x0000FF;
inline constexpr std::uint32_t kStatusGreen = 0x00FF00;

inline constexpr const char* kLastScanMessage = "Last Scan";
inline constexpr const char* kNotSavedMessage = "No Scan!! Not saved!!";

// What the scan logic reads and changes on the main window's "Scan" page.
class IScanWindow {
public:
    virtual ~IScanWindow() = default;
    virtual std::string FieldText(ScanField field) = 0;
    virtual void SetFieldText(ScanField field, const std::string& text) = 0;
    virtual void ShowVinField(bool visible) = 0;        // the VIN label and field
    virtual void ShowRouteAndDealer(bool visible) = 0;  // the Route and Dealer labels and fields
    virtual void FocusField(ScanField field) = 0;
    virtual void SelectFieldText(ScanField field) = 0;
    virtual void SetStatus(const std::string& text, std::uint32_t colour) = 0;
    virtual std::string EventText() = 0;  // the chosen event's item text, empty when none
    virtual std::string ClockText() = 0;
    // Puts a scan list entry at the top of the list, above the earlier ones.
    virtual void AddScanListEntry(const std::string& entry) = 0;
    virtual void Beep() = 0;
    // A message box captioned with the program's title.
    virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace quendrel
