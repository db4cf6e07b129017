#pragma once
// What the About dialog shows, and where, independent of the window system.
#include <string>

#include "product.h"

namespace quendrel {

struct AboutTexts {
    std::string caption;      // the dialog's caption
    std::string title;        // the program's title, in the first line
    std::string version;      // "Version 1.0.0"
    std::string description;  // what the program is for
    std::string disclaimer;   // the vendor: name, street, city, telephone
};

// The texts set each time the dialog loads.
AboutTexts MakeAboutTexts(const AppIdentity& app);

// Positions in twips, measured in the dialog's client area.
struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};
struct TwipsLine {
    int x1;
    int y1;
    int x2;
    int y2;
};

namespace about_layout {
inline constexpr int kClientWidth = 5730;
inline constexpr int kClientHeight = 3555;
inline constexpr TwipsRect kIcon{240, 240, 540, 540};
inline constexpr TwipsRect kTitle{1050, 240, 3885, 480};
inline constexpr TwipsRect kVersion{1050, 780, 3885, 225};
inline constexpr TwipsRect kDescription{1080, 1125, 3885, 1170};
inline constexpr TwipsRect kDisclaimer{255, 2625, 3870, 825};
inline constexpr TwipsRect kOk{4245, 2625, 1260, 345};
inline constexpr TwipsRect kSysInfo{4260, 3075, 1245, 345};
// The etched rule: a white line 2 wide under a grey line 1 wide.
inline constexpr TwipsLine kRuleHighlight{105, 2460, 5654, 2460};
inline constexpr TwipsLine kRuleShadow{90, 2445, 5654, 2445};
}  // namespace about_layout

}  // namespace quendrel
