#include "savers/polygon/polygon_settings.h"

#include <iterator>

namespace {

// Built-in presets, in the order they are offered.
constexpr const char* kPresets[] = {
    "Default ..... [3,10,4,0,12,0,4]",
};

}  // namespace

const orvo::settings::SaverSettings kPolygonSettings = {
    .section = "Screen Saver.Polygon",
    .dialog_caption = "Polygon Setup",
    .rows = {
        {.key = "Vertices", .label = "Vertices", .default_value = 3, .min = 2, .max = 99,
         .held_16bit = true},
        {.key = "Symetry", .label = "Symmetry", .default_value = 10, .min = 1, .max = 50,
         .held_16bit = true},
        {.key = "Speed", .label = "Speed", .default_value = 4, .min = 1, .max = 30,
         .held_16bit = true},
        {.key = "Type", .label = "Mirroring/Border", .default_value = 0, .min = 0, .max = 1},
        {.key = "Tweak", .label = "Palette Duration", .default_value = 3, .min = 1, .max = 1000},
    },
    .shifted_default = 0,
    .presets = kPresets,
    .preset_count = std::size(kPresets),
};
