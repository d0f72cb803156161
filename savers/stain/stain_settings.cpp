#include "savers/stain/stain_settings.h"

#include <iterator>

namespace {

// Built-in presets, in the order they are offered.
constexpr const char* kPresets[] = {
    "Default ..... [2,27,4,20,5,1,4]",
};

}  // namespace

const orvo::settings::SaverSettings kStainSettings = {
    .section = "Screen Saver.Stain",
    .dialog_caption = "Stain Setup",
    .rows = {
        {.key = "NumPts", .label = "Number of Nodes", .default_value = 2, .min = 2, .max = 4},
        {.key = "Density", .label = "Color Density", .default_value = 27, .min = 1, .max = 100},
        {.key = "Type", .label = "Stain Type", .default_value = 4, .min = 0, .max = 6},
        {.key = "Delay", .label = "Image Duration", .default_value = 20, .min = 0, .max = 1000},
        {.key = "Tweak", .label = "Palette Duration", .default_value = 5, .min = 0, .max = 1000},
    },
    .shifted_default = 0,
    .presets = kPresets,
    .preset_count = std::size(kPresets),
};
