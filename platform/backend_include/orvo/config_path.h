// Where the private-profile files live.
#pragma once

#include <string>

namespace orvo {

// The folder for bare INI file names: $ORVO_CONFIG_DIR, else
// $XDG_CONFIG_HOME/orvo, else $HOME/.config/orvo (empty values are skipped).
// Returns "" when none of them is set.
std::string ConfigDirectory();

// The path of an INI file: a name containing "/" is used as it is, a bare
// name is placed in ConfigDirectory(). Returns "" for a null or empty name
// or when no folder can be found.
std::string ResolveConfigPath(const char* name);

}  // namespace orvo
