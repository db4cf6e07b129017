#pragma once

namespace quendrel {

// The application's title (the caption of the window and of every message
// box that names no caption of its own) and its version.
inline constexpr const char* kAppTitle = "Quendrel";

struct AppIdentity {
    const char* title;
    int major;
    int minor;
    int revision;
};
inline constexpr AppIdentity kQuendrelIdentity{kAppTitle, 1, 0, 0};

}  // namespace quendrel
