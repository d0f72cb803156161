#include "shell/shell.h"

namespace orvo::shell {

ShellState& State() {
  static ShellState state;
  return state;
}

void ResetState() { State() = ShellState{}; }

}  // namespace orvo::shell
