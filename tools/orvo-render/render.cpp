#include "tools/orvo-render/render.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "framework/host/host.h"
#include "framework/host/saver_module.h"
#include "framework/settings/options.h"
#include "framework/settings/settings.h"
#include "orvo/headless.h"
#include "orvo/platform.h"
#include "orvo/resources.h"
#include "shell/program.h"
#include "shell/shell.h"
#include "tools/catalog/saver_catalog.h"

namespace orvo::render {
namespace {

const SaverModule* FindSaver(const std::string& name) {
  const catalog::Entry* entry = catalog::Find(name);
  return entry != nullptr ? entry->module : nullptr;
}

bool ParseNumber(const std::string& text, unsigned long long max, unsigned long long* out) {
  if (text.empty() || text.size() > 20) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
  if (errno != 0 || v > max) return false;
  *out = v;
  return true;
}

}  // namespace

IndexedImage Capture(HWND window) {
  headless::PresentPending();
  IndexedImage image;
  const headless::Frame frame = headless::PresentedFrame(window);
  image.width = frame.width;
  image.height = frame.height;
  image.pixels.resize(static_cast<std::size_t>(frame.width) * frame.height);
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      image.pixels[static_cast<std::size_t>(y) * frame.width + x] = frame.pixels[y * frame.stride + x];
    }
  }
  image.colours = headless::PresentedColours();
  return image;
}

const char* Usage() {
  return "usage: orvo-render SAVER [--size WxH] [--clock T0] [--period MS] [--timers N] "
         "[--config DIR] [--set KEY=VALUE]... [--SETTING VALUE]... [--png FILE] [--gif FILE [--every K]]";
}

std::string Help() {
  return std::string(Usage()) +
         "\n\n"
         "Runs SAVER full screen on a headless display with a virtual clock and writes\n"
         "what it shows; the same arguments give the same bytes on every machine.\n"
         "SAVER is one of: " + catalog::NameList() + ".\n"
         "\n"
         "  --size WxH       the display's size, each between 1 and 16384 (default 640x480)\n"
         "  --clock T0       the tick count from the start through set-up, in milliseconds;\n"
         "                   its low 16 bits seed the random numbers (default 1000000)\n"
         "  --period MS      how far the clock moves before each timer message (default 16)\n"
         "  --timers N       how many timer messages to deliver (default 600)\n"
         "  --config DIR     read control.ini from DIR (default: an empty temporary folder,\n"
         "                   so every setting has its default)\n"
         "  --set KEY=VALUE  write KEY=VALUE into the saver's section first (repeatable)\n"
         "  --SETTING VALUE  a setting option of the saver's program, such as --roughness 30,\n"
         "                   --effect ramp or --shifted (see the saver's --help): in place of\n"
         "                   the stored setting, as the program takes it\n"
         "  --png FILE       write the last picture as an 8-bit indexed PNG\n"
         "  --gif FILE       write an animated GIF of every K-th timer message\n"
         "  --every K        with --gif: K (default 1)\n"
         "  --help, -h       print this text and exit\n"
         "  --version        print the version and exit\n"
         "\n"
         "Exit status: 0; 1 when the saver did not start or a file could not be written;\n"
         "2 for bad arguments (one line on standard error, nothing written).\n";
}

bool ParseArguments(const std::vector<std::string>& args, Options* o, std::string* error) {
  // Asking for help or the version is never an error, wherever it stands.
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      o->help = true;
      return true;
    }
    if (a == "--version") {
      o->version = true;
      return true;
    }
  }
  if (args.empty()) {
    *error = std::string("no saver named (one of ") + catalog::NameList() + ")";
    return false;
  }
  bool every_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = a + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string v;
    unsigned long long n = 0;
    if (a == "--size") {
      if (!value(&v)) return false;
      const auto x = v.find('x');
      unsigned long long w = 0, h = 0;
      if (x == std::string::npos || !ParseNumber(v.substr(0, x), 16384, &w) ||
          !ParseNumber(v.substr(x + 1), 16384, &h) || w == 0 || h == 0) {
        *error = "--size must be WxH with both between 1 and 16384, not \"" + v + "\"";
        return false;
      }
      o->width = static_cast<int>(w);
      o->height = static_cast<int>(h);
    } else if (a == "--clock") {
      if (!value(&v)) return false;
      if (!ParseNumber(v, 0xFFFFFFFFull, &n)) {
        *error = "--clock must be a number of milliseconds below 2^32, not \"" + v + "\"";
        return false;
      }
      o->clock = static_cast<std::uint32_t>(n);
    } else if (a == "--period") {
      if (!value(&v)) return false;
      if (!ParseNumber(v, 86400000, &n)) {
        *error = "--period must be a number of milliseconds up to 86400000, not \"" + v + "\"";
        return false;
      }
      o->period = static_cast<std::uint32_t>(n);
    } else if (a == "--timers") {
      if (!value(&v)) return false;
      if (!ParseNumber(v, 100000000, &n)) {
        *error = "--timers must be a count up to 100000000, not \"" + v + "\"";
        return false;
      }
      o->timers = static_cast<long>(n);
    } else if (a == "--every") {
      if (!value(&v)) return false;
      if (!ParseNumber(v, 100000000, &n) || n == 0) {
        *error = "--every must be a count of at least 1, not \"" + v + "\"";
        return false;
      }
      o->every = static_cast<long>(n);
      every_given = true;
    } else if (a == "--config") {
      if (!value(&o->config_dir)) return false;
      if (!std::filesystem::is_directory(o->config_dir)) {
        *error = "--config: no such folder: " + o->config_dir;
        return false;
      }
    } else if (a == "--set") {
      if (!value(&v)) return false;
      const auto eq = v.find('=');
      if (eq == std::string::npos || eq == 0 || v.find_first_of("[]\r\n") < eq ||
          v.find_first_of("\r\n") != std::string::npos) {
        *error = "--set must be KEY=VALUE, not \"" + v + "\"";
        return false;
      }
      o->settings.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    } else if (a == "--png") {
      if (!value(&o->png)) return false;
    } else if (a == "--gif") {
      if (!value(&o->gif)) return false;
    } else if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      // A setting option of the saver, checked once the saver is known.
      o->saver_options.push_back(a);
      const std::string name = a.substr(2, a.find('=') == std::string::npos ? a.npos : a.find('=') - 2);
      if (a.find('=') == std::string::npos && name != settings::kShiftedOption &&
          name != settings::kNotShiftedOption && i + 1 < args.size()) {
        o->saver_options.push_back(args[++i]);
      }
    } else if (!a.empty() && a[0] == '-') {
      *error = "unknown option " + a;
      return false;
    } else if (o->saver.empty()) {
      if (FindSaver(a) == nullptr) {
        *error = "unknown saver \"" + a + "\" (one of " + catalog::NameList() + ")";
        return false;
      }
      o->saver = a;
    } else {
      *error = "unexpected argument \"" + a + "\"";
      return false;
    }
  }
  if (o->saver.empty()) {
    *error = "no saver named";
    return false;
  }
  const settings::SaverSettings& table = *FindSaver(o->saver)->settings;
  for (std::size_t i = 0; i < o->saver_options.size(); ++i) {
    const std::string& a = o->saver_options[i];
    const std::size_t equals = a.find('=');
    const std::string name = a.substr(2, equals == std::string::npos ? a.npos : equals - 2);
    const settings::OptionKind kind = settings::FindOption(table, name);
    if (kind == settings::OptionKind::kNone) {
      *error = "unknown option " + a + " (not a setting of " + o->saver + ")";
      return false;
    }
    std::string value;
    if (equals != std::string::npos) {
      value = a.substr(equals + 1);
    } else if (kind == settings::OptionKind::kValue) {
      if (i + 1 >= o->saver_options.size()) {
        *error = a + " needs a value";
        return false;
      }
      value = o->saver_options[++i];
    }
    settings::Overrides scratch;
    if ((kind == settings::OptionKind::kFlag && equals != std::string::npos) ||
        !settings::ApplyOption(table, name, value, &scratch, error)) {
      if (kind == settings::OptionKind::kFlag) *error = "--" + name + " takes no value";
      return false;
    }
  }
  if (every_given && o->gif.empty()) {
    *error = "--every needs --gif";
    return false;
  }
  return true;
}

IndexedImage RecordSaver(const SaverModule& module, const Options& o,
                         const std::function<bool(long)>& after_timer) {
  headless::Options display;
  display.screen_width = o.width;
  display.screen_height = o.height;
  display.clock = o.clock;
  display.automatic_timers = false;
  headless::Install(display);
  headless::SetCursor(0, 0);
  for (const auto& [key, value] : o.settings) {
    WritePrivateProfileStringA(module.settings->section, key.c_str(), value.c_str(), "control.ini");
  }
  shell::ResetState();
  shell::PrepareProgram(module);
  // The cursor above only gives the shell a position to start from: the
  // recorder has no pointer resting anywhere, so no size is a hot corner.
  host::ApplyHotCorner(false);

  IndexedImage last;
  long delivered = 0;
  bool stop = false;
  headless::SetIdleHandler([&]() {
    HWND window = shell::State().window;
    if (window == nullptr) return false;
    if (delivered > 0 && !stop && after_timer && !after_timer(delivered)) stop = true;
    if (!stop && delivered < o.timers) {
      headless::AdvanceClock(o.period);
      PostMessageA(window, WM_TIMER, 0, 0);
      ++delivered;
      return true;
    }
    last = Capture(window);
    return false;
  });
  std::string tail = "/s";
  for (const std::string& option : o.saver_options) tail += " " + option;
  shell::SaverEntry(platform::ProgramInstance(), tail.c_str());
  headless::SetIdleHandler(nullptr);
  return last;
}

}  // namespace orvo::render
