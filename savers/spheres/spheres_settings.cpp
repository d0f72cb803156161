#include "savers/spheres/spheres_settings.h"

#include <iterator>

namespace {

// Built-in presets, in the order they are offered.
constexpr const char* kPresets[] = {
    "Default ..... [4,25,100,100,15,1,4]",
    "Fat Fingers ..... [16,12,100,130,15,1,2]",
    "Bugs ..... [32,18,50,1,15,0,0]",
};

}  // namespace

// Size, Symmetry, Type and Duration are held as 16-bit values.
const orvo::settings::SaverSettings kSpheresSettings = {
    "Screen Saver.Spheres",
    "Sphere Setup",
    {
        {"Size", "Size", 100, 10, 250, true},
        {"Symetry", "Symmetry", 8, 2, 128, true},
        {"Type", "Type", 0, 0, 8, true},
        {"Duration", "Image Duration", 20, 1, 600, true},
        {"Tweak", "Palette Duration", 3, 1, 1000, false},
    },
    4,
    false,
    0,
    orvo::settings::StoreOrder::kEffectFirst,
    kPresets,
    std::size(kPresets),
};
