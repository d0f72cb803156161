#include "orvo/backend.h"

#include "window_internal.h"

#include <cstdio>
#include <cstdlib>

#include "orvo/win_user.h"

namespace orvo::platform {
namespace {
std::unique_ptr<Backend>& Slot() {
  static std::unique_ptr<Backend> backend;
  return backend;
}
}  // namespace

void InstallBackend(std::unique_ptr<Backend> backend) {
  // Windows of the old display cannot outlive it.
  if (Slot()) {
    for (WindowRecord* w : AllWindows()) DestroyWindow(w->hwnd);
  }
  Slot() = std::move(backend);
  ResetQueue();
  ResetDisplay();
}

std::unique_ptr<Backend> ReleaseBackend() { return std::move(Slot()); }

Backend& GetBackend() {
  if (!Slot()) {
    std::fputs("orvo: no display back end installed\n", stderr);
    std::abort();
  }
  return *Slot();
}

bool HasBackend() { return static_cast<bool>(Slot()); }

}  // namespace orvo::platform
