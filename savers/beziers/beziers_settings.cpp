#include "savers/beziers/beziers_settings.h"

#include <iterator>

namespace {

// Built-in presets, in the order they are offered.
constexpr const char* kPresets[] = {
    "Default ..... [1,10,100,12,15,1,4]",
    "Spastic ..... [1,8,100,100,15,1,4]",
    "Narrow ..... [2,5,15,1,15,1,3]",
};

}  // namespace

// "Tweak" and "Effect" are held as 16-bit values; the label "Pen Width " ends with a blank.
const orvo::settings::SaverSettings kBeziersSettings = {
    "ScreenSaver.Bez",
    "Bezier Setup",
    {
        {"Beziers", "Beziers", 1, 1, 20, false},
        {"Symetry", "Symmetry", 8, 1, 32, false},
        {"TailLength", "Trail Length", 100, 1, 100, false},
        {"PenWidth", "Pen Width ", 100, 0, 200, false},
        {"Tweak", "Palette Duration", 15, 1, 1000, true},
    },
    4,
    true,
    1,
    orvo::settings::StoreOrder::kEffectFirst,
    kPresets,
    std::size(kPresets),
};
