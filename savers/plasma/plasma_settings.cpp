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
    .section = "Screen Saver.Plasma",
    .dialog_caption = "Plasma Setup",
    .rows = {
        {.key = "Roughness", .label = "Roughness", .default_value = 50, .min = 1, .max = 100},
        {.key = "Speed", .label = "Animation Speed", .default_value = 30, .min = 1, .max = 100},
        {.key = "Gradient", .label = "Color Gradient", .default_value = 30, .min = 1, .max = 30},
        {.key = "ImageDuration", .label = "Image Duration", .default_value = 30, .min = 1,
         .max = 600},
        {.key = "PaletteDuration", .label = "Palette Duration", .default_value = 15,
         .min = 1, .max = 600},
    },
    .shifted_default = 1,
    .store_order = orvo::settings::StoreOrder::kPaletteDurationFirst,
    .presets = kPresets,
    .preset_count = std::size(kPresets),
};
