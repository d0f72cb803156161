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

const orvo::settings::SaverSettings kCyclicsSettings = {
    .section = "Screen Saver.Cyclic",
    .dialog_caption = "Cyclic Setup",
    .rows = {
        {.key = "Cyclics", .label = "Number of Cyclics", .default_value = 4, .min = 1, .max = 99},
        {.key = "Spasticity", .label = "Spasticity", .default_value = 25, .min = 1, .max = 50},
        {.key = "TailLength", .label = "Trail Length", .default_value = 100, .min = 1, .max = 100},
        {.key = "PenWidth", .label = "Diameter", .default_value = 100, .min = 0, .max = 200},
        {.key = "Tweak", .label = "Palette Duration", .default_value = 15, .min = 1, .max = 1000,
         .held_16bit = true},
    },
    .effect_held_16bit = true,
    .shifted_default = 1,
    .presets = kPresets,
    .preset_count = std::size(kPresets),
};
