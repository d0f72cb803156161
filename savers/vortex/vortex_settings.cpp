#include "savers/vortex/vortex_settings.h"

#include <iterator>

namespace {

// Built-in presets, in the order they are offered.
constexpr const char* kPresets[] = {
    "Default ..... [60,300,20,20,15,1,4]",
};

}  // namespace

const orvo::settings::SaverSettings kVortexSettings = {
    .section = "Screen Saver.Vortex",
    .dialog_caption = "Vortex Setup",
    .rows = {
        {.key = "Vortex", .label = "Points on edge", .default_value = 60, .min = 2, .max = 100,
         .held_16bit = true},
        {.key = "Scale", .label = "Spasticity", .default_value = 300, .min = 1, .max = 300},
        {.key = "Amplitude", .label = "Amplitude", .default_value = 20, .min = 1, .max = 200},
        {.key = "Duration", .label = "Image Duration", .default_value = 20, .min = 0, .max = 600},
        {.key = "Tweak", .label = "Palette Duration", .default_value = 15, .min = 1, .max = 1000},
    },
    .shifted_default = 1,
    .presets = kPresets,
    .preset_count = std::size(kPresets),
};
