#pragma once
// The scan fields of the "Scan" page, each told once: its control and label,
// the length of a scan of it, and its name in the status when one is refused.
#include <array>
#include <cstddef>
#include <string>

#include "control_ids.h"

namespace quendrel {

enum class ScanField { Vin = 1, Route = 2, Dealer = 3 };

struct ScanFieldSpec {
    ScanField field;
    int control;
    int label;
    std::size_t length;
    const char* name;
};

// In the order the sequence visits them.
inline constexpr std::array<ScanFieldSpec, 3> kScanFields = {{
    {ScanField::Vin, kVinField, kVinLabel, 17, "Vin"},
    {ScanField::Route, kRouteField, kRouteLabel, 4, "Route"},
    {ScanField::Dealer, kDealerField, kDealerLabel, 6, "Dealer"},
}};

constexpr const ScanFieldSpec& SpecOf(ScanField field) { return kScanFields[static_cast<std::size_t>(field) - 1]; }

// The status when a scan of `field` has the wrong length, such as
// "No Scan!! Vin is not 17 chars!!".
inline std::string RefusedMessage(ScanField field) {
    return std::string("No Scan!! ") + SpecOf(field).name + " is not " + std::to_string(SpecOf(field).length) +
           " chars!!";
}

}  // namespace quendrel
