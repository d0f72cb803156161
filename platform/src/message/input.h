// Input: the back end's events turned into messages for our windows.
#pragma once

namespace orvo::platform {

// Takes every pending event of the back end and turns it into messages.
void PumpBackend();

}  // namespace orvo::platform
