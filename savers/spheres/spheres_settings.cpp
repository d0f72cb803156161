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

const orvo::settings::SaverSettings kSpheresSettings = {
    .section = "Screen Saver.Spheres",
    .dialog_caption = "Sphere Setup",
    .rows = {
        {.key = "Size", .label = "Size", .default_value = 100, .min = 10, .max = 250,
         .held_16bit = true},
        {.key = "Symetry", .label = "Symmetry", .default_value = 8, .min = 2, .max = 128,
         .held_16bit = true},
        {.key = "Type", .label = "Type", .default_value = 0, .min = 0, .max = 8,
         .held_16bit = true},
        {.key = "Duration", .label = "Image Duration", .default_value = 20, .min = 1, .max = 600,
         .held_16bit = true},
        {.key = "Tweak", .label = "Palette Duration", .default_value = 3, .min = 1, .max = 1000},
    },
    .shifted_default = 0,
    .presets = kPresets,
    .preset_count = std::size(kPresets),
};
