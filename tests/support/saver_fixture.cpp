#include "saver_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "framework/host/host.h"
#include "orvo/resources.h"
#include "savers/plasma/plasma_settings.h"
#include "shell/program.h"
#include "shell/shell.h"

namespace orvo::testing {
namespace {

HookCounts g_counts;
bool g_paint_white = false;
bool g_throw = false;

void ReadSettings() { ++g_counts.read_settings; }
void Allocate() { ++g_counts.allocate; }
void NewImage() { ++g_counts.new_image; }
void FrameStep() {
  ++g_counts.frame_step;
  if (g_throw) throw std::runtime_error("frame step fault");
  if (g_paint_white) PatBlt(host::DC(), 0, 0, host::Width(), host::Height(), WHITENESS);
}
void TearDownHook() { ++g_counts.tear_down; }

// The Plasma table under a section of its own.
const settings::SaverSettings kTestSettings = [] {
  settings::SaverSettings table = kPlasmaSettings;
  table.section = "Screen Saver.Test";
  return table;
}();

const SaverModule kCounting = {
    .program = "counting",
    .display_name = "Orvo Test",
    .settings = &kTestSettings,
    .hooks = {.read_settings = ReadSettings,
              .allocate = Allocate,
              .new_image = NewImage,
              .frame_step = FrameStep,
              .tear_down = TearDownHook},
    .frames_per_timer = 5,
    .clears_at_teardown = true,
};

}  // namespace

HookCounts& Counts() { return g_counts; }
void PaintWhiteInFrameSteps(bool on) { g_paint_white = on; }
void ThrowInFrameSteps(bool on) { g_throw = on; }
const SaverModule& CountingSaver() { return kCounting; }

void SaverFixture::SetUp() {
  g_counts = HookCounts{};
  g_paint_white = false;
  g_throw = false;
  const auto dir = std::filesystem::temp_directory_path() /
                   ("orvo-shell-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::create_directories(dir);
  config_dir_ = dir.string();
  setenv("ORVO_CONFIG_DIR", config_dir_.c_str(), 1);
  FreshProcess();
}

void SaverFixture::FreshProcess() {
  headless::Options options;
  options.screen_width = 320;
  options.screen_height = 200;
  headless::Install(options);
  headless::SetCursor(100, 100);
  shell::ResetState();
  shell::PrepareProgram(kCounting);
}

void SaverFixture::TearDown() {
  headless::SetIdleHandler(nullptr);
  std::filesystem::remove_all(config_dir_);
}

int SaverFixture::Run(const std::string& tail, std::function<bool(int)> script) {
  int calls = 0;
  headless::SetIdleHandler([&]() { return script(calls++); });
  const int code = shell::SaverEntry(platform::ProgramInstance(), tail.c_str());
  headless::SetIdleHandler(nullptr);
  return code;
}

HWND SaverFixture::SaverWindow() { return shell::State().window; }

}  // namespace orvo::testing
