#pragma once
// Control identifiers of the main window, in tab order, and of its menu, for
// its layout and the scan fields' table.
namespace quendrel {

enum ControlId : int {
    kTabControl = 100, kEventList, kActionLabel, kClockLabel, kVinLabel, kVinField, kRouteLabel, kRouteField,
    kDealerLabel, kDealerField, kEnterButton, kScanList, kStatusLabel, kSendDataButton, kUploadLog, kUploadProgress,
};

enum MenuId : int { kMenuExit = 200, kMenuAbout = 201 };

}  // namespace quendrel
