// The recorder's file output: the last picture as a PNG, every K-th
// picture as an animated GIF.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/shell.h"
#include "tools/catalog/saver_catalog.h"
#include "tools/orvo-render/image_files.h"
#include "tools/orvo-render/render.h"

namespace orvo::render {
namespace {

// A temporary configuration folder, removed when the run ends.
struct TemporaryFolder {
  std::string path;
  ~TemporaryFolder() {
    if (!path.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  }
};

}  // namespace

int Render(const Options& o) {
  const SaverModule& module = *catalog::Find(o.saver)->module;
  TemporaryFolder temporary;
  std::string config = o.config_dir;
  if (config.empty()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvo-render-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::fprintf(stderr, "orvo-render: cannot make a temporary folder: %s\n", std::strerror(errno));
      return 1;
    }
    temporary.path = config = pattern;
  }
  setenv("ORVO_CONFIG_DIR", config.c_str(), 1);

  std::vector<IndexedImage> frames;
  const IndexedImage last = RecordSaver(module, o, [&](long delivered) {
    if (!o.gif.empty() && delivered % o.every == 0) frames.push_back(Capture(shell::State().window));
    return true;
  });
  if (last.width == 0) {
    std::fprintf(stderr, "orvo-render: the %s saver did not start\n", module.program);
    return 1;
  }

  std::string error;
  if (!o.png.empty() && !WritePng(o.png, last, &error)) {
    std::fprintf(stderr, "orvo-render: %s\n", error.c_str());
    return 1;
  }
  if (!o.gif.empty()) {
    if (frames.empty()) frames.push_back(last);
    const long delay = static_cast<long>(o.period) * o.every / 10;
    if (!WriteGif(o.gif, frames, static_cast<int>(std::clamp<long>(delay, 1, 65535)), &error)) {
      std::fprintf(stderr, "orvo-render: %s\n", error.c_str());
      return 1;
    }
  }
  if (o.png.empty() && o.gif.empty()) {
    std::fprintf(stderr, "orvo-render: ran %ld timer messages; nothing written (no --png or --gif)\n",
                 o.timers);
  }
  return 0;
}

}  // namespace orvo::render
