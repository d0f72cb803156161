#include "savers/polygon/polygon_settings.h"

#include <iterator>

namespace {

// Built-in presets, in the order they are offered.
constexpr const char* kPresets[] = {
    "Default ..... [3,10,4,0,12,0,4]",
};

}  // namespace

// Vertices, Symmetry and Speed are held as 16-bit values.
const orvo::settings::SaverSettings kPolygonSettings = {
    "Screen Saver.Polygon",
    "Polygon Setup",
    {
        {"Vertices", "Vertices", 3, 2, 99, true},
        {"Symetry", "Symmetry", 10, 1, 50, true},
        {"Speed", "Speed", 4, 1, 30, true},
        {"Type", "Mirroring/Border", 0, 0, 1, false},
        {"Tweak", "Palette Duration", 3, 1, 1000, false},
    },
    4,
    false,
    0,
    orvo::settings::StoreOrder::kEffectFirst,
    kPresets,
    std::size(kPresets),
};
