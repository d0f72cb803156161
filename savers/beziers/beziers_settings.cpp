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

// The label "Pen Width " ends with a blank.
const orvo::settings::SaverSettings kBeziersSettings = {
    .section = "ScreenSaver.Bez",
    .dialog_caption = "Bezier Setup",
    .rows = {
        {.key = "Beziers", .label = "Beziers", .default_value = 1, .min = 1, .max = 20},
        {.key = "Symetry", .label = "Symmetry", .default_value = 8, .min = 1, .max = 32},
        {.key = "TailLength", .label = "Trail Length", .default_value = 100, .min = 1, .max = 100},
        {.key = "PenWidth", .label = "Pen Width ", .default_value = 100, .min = 0, .max = 200},
        {.key = "Tweak", .label = "Palette Duration", .default_value = 15, .min = 1, .max = 1000,
         .held_16bit = true},
    },
    .effect_held_16bit = true,
    .shifted_default = 1,
    .presets = kPresets,
    .preset_count = std::size(kPresets),
};
