// What a saver hands to the framework: its strings, settings table and
// hooks. The shell and the animation host are generic over this one table.
#pragma once

#include <cstddef>

#include "orvo/win_types.h"

namespace orvo::settings {
struct SaverSettings;
}

namespace orvo {

// The hooks of one saver, called by the animation host in this order:
// read_settings, allocate, new_image at set-up; frame_step on every timer
// message (frames_per_timer times); tear_down when the window is destroyed.
struct SaverHooks {
  void (*read_settings)() = nullptr;  // fills the saver's setting variables
  void (*allocate)() = nullptr;       // may do nothing
  void (*new_image)() = nullptr;
  void (*frame_step)() = nullptr;
  void (*tear_down)() = nullptr;      // frees buffers, destroys the palette engine
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

struct SaverModule {
  const char* program;                       // "plasma": the deliverable's name
  const StringResource* strings;             // strings 1, 1000, 1001, 1007
  std::size_t string_count;
  const settings::SaverSettings* settings;   // keys, ranges, labels, presets
  SaverHooks hooks;
  int frames_per_timer;                      // 5, or 1 for spheres and beziers
  bool clears_at_teardown;                   // every saver but stars
};

}  // namespace orvo
