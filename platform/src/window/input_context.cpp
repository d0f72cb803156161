// The input-method association of a window.
#include <cstdint>

#include "base/window_table.h"
#include "orvo/win_user.h"

using namespace orvo::platform;

HIMC ImmAssociateContext(HWND hwnd, HIMC context) {
  // The saver's window takes no composed input: our back ends deliver keys
  // only, so the association is bookkeeping that restores what it replaced.
  WindowRecord* w = FindWindowRecord(hwnd);
  if (w == nullptr) return nullptr;
  HIMC previous = w->input_context;
  w->input_context = context;
  return previous;
}
