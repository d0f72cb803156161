#include "savers/stars/stars_settings.h"

#include <iterator>

namespace {

// Built-in presets, in the order they are offered.
constexpr const char* kPresets[] = {
    "Default ..... [80,1,4,0,20,0,0]",
};

}  // namespace

const orvo::settings::SaverSettings kStarsSettings = {
    "Screen Saver.Star",
    "Star Setup",
    {
        {"Stars", "Number of Stars", 80, 2, 99, false},
        {"Size", "Star Size", 1, 1, 50, false},
        {"Speed", "Speed", 4, 1, 30, false},
        {"Type", "Rotation", 0, 0, 15, false},
        {"Tweak", "Palette Duration", 20, 0, 1000, false},
    },
    4,
    false,
    0,
    orvo::settings::StoreOrder::kEffectFirst,
    kPresets,
    std::size(kPresets),
};
