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

namespace {
bool g_names_config_owner = false;
}  // namespace

void SetDesktopNamesConfigOwner(bool names) { g_names_config_owner = names; }

bool DesktopNamesConfigOwner() { return g_names_config_owner; }

}  // namespace orvo::platform
