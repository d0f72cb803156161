// The process's back end, held at the bottom so that every layer can reach
// it; installing one (which resets windows and queues) is the top layer's
// job (install.cpp).
#pragma once

#include <memory>

#include "orvo/backend.h"

namespace orvo::platform {

// The holder of the installed back end (empty before the first install).
std::unique_ptr<Backend>& BackendSlot();

}  // namespace orvo::platform
