#include "savers/vortex/vortex_settings.h"

#include <iterator>

namespace {

// Built-in presets, in the order they are offered.
constexpr const char* kPresets[] = {
    "Default ..... [60,300,20,20,15,1,4]",
};

}  // namespace

// The point count is held as a 16-bit value.
const orvo::settings::SaverSettings kVortexSettings = {
    "Screen Saver.Vortex",
    "Vortex Setup",
    {
        {"Vortex", "Points on edge", 60, 2, 100, true},
        {"Scale", "Spasticity", 300, 1, 300, false},
        {"Amplitude", "Amplitude", 20, 1, 200, false},
        {"Duration", "Image Duration", 20, 0, 600, false},
        {"Tweak", "Palette Duration", 15, 1, 1000, false},
    },
    4,
    false,
    1,
    orvo::settings::StoreOrder::kEffectFirst,
    kPresets,
    std::size(kPresets),
};
