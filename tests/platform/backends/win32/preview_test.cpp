// A saver run as a preview through the real shell, host and Win32 back end,
// inside a window this test makes: the picture appears inside that window
// and the run ends when the window goes away.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "orvo/platform.h"
#include "orvo/resources.h"
#include "orvo/win32_backend.h"
#include "savers/cyclics/cyclics_saver.h"
#include "shell/program.h"
#include "shell/shell.h"
#include "win32_probe.h"

namespace {

namespace fs = std::filesystem;
namespace probe = orvo::win32::probe;

// Pixels that are neither the host's white nor black.
std::size_t Coloured(const probe::Image& image) {
  std::size_t n = 0;
  for (std::uint32_t p : image.pixels) n += p != 0 && p != 0xFFFFFFu;
  return n;
}

std::size_t White(const probe::Image& image) {
  std::size_t n = 0;
  for (std::uint32_t p : image.pixels) n += p == 0xFFFFFFu;
  return n;
}

TEST(Win32Preview, CyclicsDrawsInsideTheHostAndEndsWithIt) {
  const fs::path config = fs::temp_directory_path() / ("orvo-preview-" + std::to_string(probe::SystemTickCount()));
  fs::create_directories(config);
  _putenv_s("ORVO_CONFIG_DIR", config.string().c_str());
  orvo::platform::InstallWin32Backend();
  orvo::shell::ResetState();
  orvo::shell::PrepareProgram(kCyclicsSaver);
  probe::MoveCursor(5, 5);  // clear of the hot corner

  probe::HostWindow host(240, 180);
  ASSERT_NE(host.id(), 0u);
  const probe::Rect area = probe::ClientOnScreen(host.id());
  ASSERT_GT(White(probe::CaptureScreen(area)), 240u * 180u * 9 / 10);

  // While the saver runs on this thread, a second one watches the screen
  // and then closes the host as its owner would.
  std::atomic<std::size_t> coloured{0}, white{0};
  // Most of the preview's 240 x 180 pixels: what its trails cover before long
  // (on a loaded machine the picture can take a few seconds to get there).
  constexpr std::size_t kMostOfIt = 240 * 180 / 2;
  std::atomic<bool> ended{false}, forced{false};
  const std::uint32_t saver_thread = probe::CurrentThread();
  std::thread watcher([&] {
    probe::Image shot;
    const std::uint32_t start = probe::SystemTickCount();
    // Under Wine, reading the screen from this thread from the saver's very
    // first frames on has at times left all but the preview's top-left
    // 128 x 64 pixels off the screen for the whole run (the X server showed
    // the same); the picture is read once the saver has drawn for a while.
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    do {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      shot = probe::CaptureScreen(area);
    } while ((Coloured(shot) < kMostOfIt || probe::SystemTickCount() - start < 2000) &&
             probe::SystemTickCount() - start < 10000);
    coloured = Coloured(shot);
    white = White(shot);
    const char* shots = std::getenv("ORVO_SHOTS_DIR");
    if (shots != nullptr && *shots != '\0') probe::SaveBmp(shot, std::string(shots) + "\\cyclics-preview-in-host.bmp");
    probe::Close(host.id());
    // A run that outlives its host is ended after ten seconds, and fails.
    const std::uint32_t closed = probe::SystemTickCount();
    while (!ended && probe::SystemTickCount() - closed < 10000)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!ended) {
      forced = true;
      probe::QuitThread(saver_thread);
    }
  });
  const std::string tail = "/p " + std::to_string(host.id());
  const int code = orvo::shell::SaverEntry(orvo::platform::ProgramInstance(), tail.c_str());
  ended = true;
  watcher.join();
  EXPECT_FALSE(forced.load()) << "the preview outlived its host";
  EXPECT_EQ(code, 0);
  // The saver cleared its whole area and drew its trails over most of it.
  EXPECT_GE(coloured.load(), kMostOfIt);
  EXPECT_EQ(white.load(), 0u);
  EXPECT_FALSE(probe::Exists(host.id()));
  _putenv_s("ORVO_CONFIG_DIR", "");
  std::error_code ignored;
  fs::remove_all(config, ignored);
}

}  // namespace
