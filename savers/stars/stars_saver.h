// The stars saver as the framework sees it: strings, settings and hooks.
#pragma once

#include "framework/host/saver_module.h"

extern const orvo::SaverModule kStarsSaver;
