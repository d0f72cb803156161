#include "savers/cyclics/cyclics_settings.h"

#include <iterator>

namespace {

// Built-in presets, in the order they are offered.
constexpr const char* kPresets[] = {
    "Default ..... [4,25,100,100,15,1,4]",
    "Fat Fingers ..... [16,12,100,130,15,1,2]",
    "Bugs ..... [32,18,50,1,15,0,0]",
};

}  // namespace

// "Tweak" and "Effect" are held as 16-bit values.
const orvo::settings::SaverSettings kCyclicsSettings = {
    "Screen Saver.Cyclic",
    "Cyclic Setup",
    {
        {"Cyclics", "Number of Cyclics", 4, 1, 99, false},
        {"Spasticity", "Spasticity", 25, 1, 50, false},
        {"TailLength", "Trail Length", 100, 1, 100, false},
        {"PenWidth", "Diameter", 100, 0, 200, false},
        {"Tweak", "Palette Duration", 15, 1, 1000, true},
    },
    4,
    true,
    1,
    orvo::settings::StoreOrder::kEffectFirst,
    kPresets,
    std::size(kPresets),
};
