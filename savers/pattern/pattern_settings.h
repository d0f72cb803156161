// Settings table of the Pattern saver: keys, labels, defaults, ranges and
// built-in presets.
#pragma once

#include "framework/settings/settings.h"

extern const orvo::settings::SaverSettings kPatternSettings;
