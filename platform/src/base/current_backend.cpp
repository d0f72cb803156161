#include "base/current_backend.h"

#include <cstdio>
#include <cstdlib>

#include "orvo/desktop.h"

namespace orvo::platform {

std::unique_ptr<Backend>& BackendSlot() {
  static std::unique_ptr<Backend> backend;
  return backend;
}

Backend& GetBackend() {
  if (!BackendSlot()) {
    std::fputs("orvo: no display back end installed\n", stderr);
    std::abort();
  }
  return *BackendSlot();
}

bool HasBackend() { return static_cast<bool>(BackendSlot()); }

bool DesktopNamesConfigOwner() { return HasBackend() && GetBackend().NamesConfigOwner(); }

}  // namespace orvo::platform
