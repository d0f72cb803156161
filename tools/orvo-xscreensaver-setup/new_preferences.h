// A first ~/.xscreensaver for an account that has none, as the settings
// program would save it untouched: the settings it saves and the programs
// list, with the values xscreensaver is installed with (its app-defaults
// file, an X resource file).
#pragma once

#include <string>
#include <string_view>

namespace orvo::xss {

// The preferences file made from the text of the app-defaults file: a
// header naming `source`, each saved setting the defaults hold (in the
// order the settings program writes them, values as written there), and
// the programs list as the defaults lay it out. Resources of the dialogs
// and of other programs, comments and preprocessor lines are left out. An
// empty result: the defaults hold no programs list.
std::string NewPreferences(std::string_view app_defaults, std::string_view source, std::string_view writer);

}  // namespace orvo::xss
