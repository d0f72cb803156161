// The top of the platform core: installing a back end resets every layer
// below it for the new display.
#include "base/current_backend.h"
#include "base/window_table.h"
#include "message/input_grab.h"
#include "message/queue.h"
#include "orvo/win_user.h"
#include "present/presentation.h"

namespace orvo::platform {

void InstallBackend(std::unique_ptr<Backend> backend) {
  // Windows of the old display cannot outlive it.
  if (BackendSlot()) {
    for (WindowRecord* w : AllWindows()) DestroyWindow(w->hwnd);
  }
  BackendSlot() = std::move(backend);
  ResetQueue();
  ResetInputGrab();
  ResetPresentation();
  ResetDisplay();
}

std::unique_ptr<Backend> ReleaseBackend() { return std::move(BackendSlot()); }

}  // namespace orvo::platform
