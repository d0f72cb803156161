// Settings table of the Plasma saver: keys, labels, defaults, ranges and
// built-in presets.
#pragma once

#include "framework/settings/settings.h"

extern const orvo::settings::SaverSettings kPlasmaSettings;
