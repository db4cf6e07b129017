#pragma once
#include <optional>

#include "config/location_settings.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "scan/scan_window.h"

namespace quendrel {

// The event choice and the Enter-driven scan sequence of the "Scan" page.
class ScanController {
public:
    ScanController(IScanWindow& window, IClock& clock, IFileSystem& files, const LocationSettings& settings);

    // The operator chose item `index` of the event list (-1: none).
    void ChooseEvent(int index);
    // Enter was pressed in `field`: runs that field's step.
    void OnEnter(ScanField field);

    // The scan field whose Enter the sequence waits for: the VIN field, or for
    // a 550 scan in progress the Route or Dealer field it has moved on to.
    ScanField AwaitedField() const { return awaited_; }

    // Unset before the first choice; readers treat unset as false.
    std::optional<bool> VinOnly() const { return vinOnly_; }

private:
    void ProcessScan(ScanField field);
    // True when `scanned` has the field's length; otherwise the scan is
    // refused there: three beeps, the status says why, the field is emptied.
    bool Accepts(ScanField field, const std::string& scanned);
    // Stores the scan's record and lists it; false (already reported to the
    // operator, nothing listed) when it could not be stored.
    bool SaveScan();
    void BeepThreeTimes();
    void Focus(ScanField field);

    IScanWindow& window_;
    IClock& clock_;
    IFileSystem& files_;
    const LocationSettings& settings_;
    std::optional<bool> vinOnly_;
    ScanField awaited_ = ScanField::Vin;
};

}  // namespace quendrel
