// The desktop interface subset, in one include.
#pragma once

#include "orvo/win_types.h"
#include "orvo/win_gdi.h"
#include "orvo/win_kernel.h"
#include "orvo/win_user.h"
