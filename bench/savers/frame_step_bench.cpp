// Every saver's frame step as the host runs it, full screen at 1920 x 1080
// on the headless display: the saver set up by the real shell and host,
// then its frame-step hook called again and again. Beside the time, the
// counter "allocs_per_step" must stay 0: once the first image is under
// way, a frame step allocates nothing. The virtual clock moves on one timer
// period before each step, so the savers that pace themselves by the clock
// draw, and images end and start as they would.
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "alloc_counter.h"
#include "orvo/headless.h"
#include "tools/catalog/saver_catalog.h"
#include "tools/orvo-render/render.h"

namespace {

using Settings = std::vector<std::pair<std::string, std::string>>;

// The settings go into a folder of the benchmark's own, never the user's.
void UseOwnConfigFolder() {
  static const bool done = [] {
    std::string folder = (std::filesystem::temp_directory_path() / "orvo-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) != nullptr) setenv("ORVO_CONFIG_DIR", folder.c_str(), 1);
    return true;
  }();
  (void)done;
}

void RunFrameSteps(benchmark::State& state, const char* saver, const Settings& settings) {
  const orvo::catalog::Entry* entry = orvo::catalog::Find(saver);
  if (entry == nullptr) {
    state.SkipWithError("no such saver");
    return;
  }
  UseOwnConfigFolder();
  orvo::render::Options options;
  options.width = 1920;
  options.height = 1080;
  options.timers = 1000;
  options.settings = settings;
  bool measured = false;
  orvo::render::RecordSaver(*entry->module, options, [&](long timer) {
    if (timer < 3) return true;  // the first image started and a few steps run
    const std::size_t before = AllocationCount();
    for (auto _ : state) {
      orvo::headless::AdvanceClock(16);  // one timer period, as the host's timer would
      entry->module->hooks.frame_step();
    }
    ReportAllocations(state, before);
    measured = true;
    return false;
  });
  if (!measured) state.SkipWithError("the saver did not start");
}

void BM_FrameStep(benchmark::State& state, const char* saver, Settings settings) {
  RunFrameSteps(state, saver, settings);
}

BENCHMARK_CAPTURE(BM_FrameStep, pattern, "pattern", {})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FrameStep, stain, "stain", {})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FrameStep, cyclics, "cyclics", {})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FrameStep, stars, "stars", {})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FrameStep, spheres, "spheres", {})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FrameStep, vortex, "vortex", {})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FrameStep, polygon, "polygon", {})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FrameStep, beziers, "beziers", {})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FrameStep, plasma, "plasma", {})->Unit(benchmark::kMillisecond);
// The heaviest settings the dialogs offer.
BENCHMARK_CAPTURE(BM_FrameStep, cyclics_heaviest, "cyclics",
                  {{"Cyclics", "99"}, {"PenWidth", "200"}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FrameStep, polygon_heaviest, "polygon",
                  {{"Vertices", "99"}, {"Symetry", "50"}, {"Speed", "30"}, {"Type", "1"}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FrameStep, beziers_heaviest, "beziers",
                  {{"Beziers", "20"}, {"Symetry", "32"}, {"PenWidth", "200"}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
