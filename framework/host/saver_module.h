// What a saver hands to the framework: its names, settings table and
// hooks. The shell and the animation host are generic over this one table;
// what the hooks of every saver share is in saver_run.h.
#pragma once

#include <array>

#include "orvo/win_types.h"

namespace orvo::settings {
struct SaverSettings;
}

namespace orvo {

// The hooks of one saver, called by the animation host in this order:
// read_settings, allocate, new_image at set-up; frame_step on every timer
// message (frames_per_timer times); tear_down when the window is destroyed.
// A hook left out does nothing.
struct SaverHooks {
  void (*read_settings)() = nullptr;  // fills the saver's setting variables
  void (*allocate)() = nullptr;
  void (*new_image)() = nullptr;
  void (*frame_step)() = nullptr;
  void (*tear_down)() = nullptr;      // frees buffers, then host::EndRun
};

struct StringResource {
  UINT id;
  const char* text;
};

// Resource ids every program carries.
inline constexpr UINT kStringDisplayName = 1;
inline constexpr UINT kStringPasswordKey = 1000;  // "PWProtected"
inline constexpr UINT kStringIniFile = 1001;      // "control.ini"
inline constexpr UINT kStringSection = 1007;      // e.g. "Screen Saver.Plasma"
inline constexpr int kSetupDialogId = 2003;
inline constexpr int kIconId = 102;

// A saver's table, written with designated initializers.
struct SaverModule {
  const char* program;                      // "plasma": the deliverable's name
  const char* display_name;                 // "Orvo Plasma": string 1, the name saver lists show
  const settings::SaverSettings* settings;  // keys, ranges, labels, presets; section is string 1007
  SaverHooks hooks;
  int frames_per_timer;                     // 5, or 1 for spheres and beziers
  bool clears_at_teardown;                  // every saver but stars
};

// The program's string resources, made from its table: the display name,
// the password key, the INI file and the settings table's section.
std::array<StringResource, 4> StringTable(const SaverModule& module);

// The display name, or the program's name for a table without one.
const char* DisplayName(const SaverModule& module);

}  // namespace orvo
