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

const orvo::settings::SaverSettings kPatternSettings = {
    .section = "Screen Saver.Pattern",
    .dialog_caption = "Pattern Setup",
    .rows = {
        {.key = "Waves", .label = "Number of Waves", .default_value = 2, .min = 2, .max = 30},
        {.key = "Rate", .label = "Animation Rate", .default_value = 38, .min = 1, .max = 100},
        {.key = "Type", .label = "Pattern Type", .default_value = 21, .min = 0, .max = 21},
        {.key = "Delay", .label = "Image Duration", .default_value = 30, .min = 0, .max = 1000},
        {.key = "Tweak", .label = "Palette Duration", .default_value = 20, .min = 1, .max = 1000,
         .held_16bit = true},
    },
    .effect_held_16bit = true,
    .shifted_default = 1,
    .presets = kPresets,
    .preset_count = std::size(kPresets),
};
