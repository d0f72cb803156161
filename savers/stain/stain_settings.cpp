#include "savers/stain/stain_settings.h"

#include <iterator>

namespace {

// Built-in presets, in the order they are offered.
constexpr const char* kPresets[] = {
    "Default ..... [2,27,4,20,5,1,4]",
};

}  // namespace

const orvo::settings::SaverSettings kStainSettings = {
    "Screen Saver.Stain",
    "Stain Setup",
    {
        {"NumPts", "Number of Nodes", 2, 2, 4, false},
        {"Density", "Color Density", 27, 1, 100, false},
        {"Type", "Stain Type", 4, 0, 6, false},
        {"Delay", "Image Duration", 20, 0, 1000, false},
        {"Tweak", "Palette Duration", 5, 0, 1000, false},
    },
    4,
    false,
    0,
    orvo::settings::StoreOrder::kEffectFirst,
    kPresets,
    std::size(kPresets),
};
