#include "savers/pattern/pattern_settings.h"

#include <iterator>

namespace {

// Built-in presets, in the order they are offered.
constexpr const char* kPresets[] = {
    "Default ..... [2,38,21,30,20,1,4]",
    "Inhale/Exhale ..... [2,42,21,20,2,1,2]",
    "Ripples ..... [2,42,18,20,20,0,0]",
};

}  // namespace

// "Tweak" and "Effect" are held as 16-bit values.
const orvo::settings::SaverSettings kPatternSettings = {
    "Screen Saver.Pattern",
    "Pattern Setup",
    {
        {"Waves", "Number of Waves", 2, 2, 30, false},
        {"Rate", "Animation Rate", 38, 1, 100, false},
        {"Type", "Pattern Type", 21, 0, 21, false},
        {"Delay", "Image Duration", 30, 0, 1000, false},
        {"Tweak", "Palette Duration", 20, 1, 1000, true},
    },
    4,
    true,
    1,
    orvo::settings::StoreOrder::kEffectFirst,
    kPresets,
    std::size(kPresets),
};
