// The recorder: runs one saver full screen on the headless display through
// the real shell, host and saver code, delivers timer messages on a
// virtual clock, and writes what the display shows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/host/saver_module.h"
#include "tools/orvo-render/image_files.h"

namespace orvo::render {

struct Options {
  std::string saver;
  int width = 640;
  int height = 480;
  std::uint32_t clock = 1000000;
  std::uint32_t period = 16;
  long timers = 600;
  std::string config_dir;  // empty: a new temporary folder
  std::vector<std::pair<std::string, std::string>> settings;
  // The saver's own setting options (--roughness 30, --shifted), passed to
  // it on its command line as the program takes them.
  std::vector<std::string> saver_options;
  std::string png;
  std::string gif;
  long every = 1;
  bool help = false;     // --help or -h: print Help() and run nothing
  bool version = false;  // --version: print the version and run nothing
};

// Parses the arguments after the program name. False with a one-line
// reason in *error when they are not usable.
bool ParseArguments(const std::vector<std::string>& args, Options* options, std::string* error);

// Runs `module` full screen on a fresh headless display, as Render does,
// without writing files: `options.saver` is ignored and the settings are
// written into the module's section first. After each timer message
// (numbered from 1) `after_timer` may look at the display; returning false
// ends the run early. Returns what the display showed at the end.
IndexedImage RecordSaver(const SaverModule& module, const Options& options,
                         const std::function<bool(long)>& after_timer = {});

// What the display shows of `window` now: its slots and the hardware colours.
IndexedImage Capture(HWND window);

// Runs the recording; returns the exit code (0, or 1 with a message on
// standard error when a file could not be written).
int Render(const Options& options);

// The one-line usage.
const char* Usage();

// The usage with every option explained, for --help.
std::string Help();

}  // namespace orvo::render
