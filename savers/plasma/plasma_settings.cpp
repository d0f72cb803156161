#include "savers/plasma/plasma_settings.h"

#include <iterator>

namespace {

// Built-in presets, in the order they are offered.
constexpr const char* kPresets[] = {
    "Default ..... [50,30,15,30,15,1,4]",
};

}  // namespace

// The palette duration is kept under "PaletteDuration" and written before "Effect".
const orvo::settings::SaverSettings kPlasmaSettings = {
    "Screen Saver.Plasma",
    "Plasma Setup",
    {
        {"Roughness", "Roughness", 50, 1, 100, false},
        {"Speed", "Animation Speed", 30, 1, 100, false},
        {"Gradient", "Color Gradient", 30, 1, 30, false},
        {"ImageDuration", "Image Duration", 30, 1, 600, false},
        {"PaletteDuration", "Palette Duration", 15, 1, 600, false},
    },
    4,
    false,
    1,
    orvo::settings::StoreOrder::kPaletteDurationFirst,
    kPresets,
    std::size(kPresets),
};
