#include "savers/stars/stars_settings.h"

#include <iterator>

namespace {

// Built-in presets, in the order they are offered.
constexpr const char* kPresets[] = {
    "Default ..... [80,1,4,0,20,0,0]",
};

}  // namespace

const orvo::settings::SaverSettings kStarsSettings = {
    .section = "Screen Saver.Star",
    .dialog_caption = "Star Setup",
    .rows = {
        {.key = "Stars", .label = "Number of Stars", .default_value = 80, .min = 2, .max = 99},
        {.key = "Size", .label = "Star Size", .default_value = 1, .min = 1, .max = 50},
        {.key = "Speed", .label = "Speed", .default_value = 4, .min = 1, .max = 30},
        {.key = "Type", .label = "Rotation", .default_value = 0, .min = 0, .max = 15},
        {.key = "Tweak", .label = "Palette Duration", .default_value = 20, .min = 0, .max = 1000},
    },
    .shifted_default = 0,
    .presets = kPresets,
    .preset_count = std::size(kPresets),
};
