#include "orvo/backend.h"

#include <cstdio>
#include <cstdlib>

namespace orvo::platform {
namespace {
std::unique_ptr<Backend>& Slot() {
  static std::unique_ptr<Backend> backend;
  return backend;
}
}  // namespace

void InstallBackend(std::unique_ptr<Backend> backend) {
  Slot() = std::move(backend);
  ResetDisplay();
}

Backend& GetBackend() {
  if (!Slot()) {
    std::fputs("orvo: no display back end installed\n", stderr);
    std::abort();
  }
  return *Slot();
}

bool HasBackend() { return static_cast<bool>(Slot()); }

}  // namespace orvo::platform
