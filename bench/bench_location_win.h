#pragma once
// The location the window benchmarks run at (code X1), given without
// touching the machine's registry.
#include "config/location_settings.h"

namespace quendrel::bench {

inline LocationSettings BenchLocation() {
    LocationSettings settings;
    settings.LocationCode = "X1";
    return settings;
}

}  // namespace quendrel::bench
