// Every saver across the wrap of the 32-bit tick count: recorded for 150 s
// of virtual time starting 20 s before the wrap, it makes new images
// and new palettes at the cadence it has from 1,000,000 ms: the
// picture neither freezes for 49.7 days nor starts anew at every tick.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/palette/palette_engine.h"
#include "savers/beziers/beziers_saver.h"
#include "savers/cyclics/cyclics_saver.h"
#include "savers/pattern/pattern_saver.h"
#include "savers/plasma/plasma_saver.h"
#include "savers/polygon/polygon_saver.h"
#include "savers/spheres/spheres_saver.h"
#include "savers/stain/stain_saver.h"
#include "savers/stars/stars_saver.h"
#include "savers/vortex/vortex_saver.h"
#include "tests/support/recording_test.h"

namespace {

// What a run has made so far: images (-1 where the saver has none) and its
// palette engine, whose next palette time moves on with every new palette.
struct Made {
  long images;
  const orvo::PaletteEngine* engine;
};

struct Case {
  const orvo::SaverModule* module;
  std::vector<std::pair<std::string, std::string>> settings;  // short durations
  std::function<Made()> made;
};

const std::vector<Case>& Cases() {
  using namespace orvo;
  static const std::vector<Case> cases = {
      {&kPatternSaver, {{"Delay", "1"}, {"Tweak", "3"}},
       [] { return Made{pattern::View().images_started, pattern::View().engine}; }},
      {&kStainSaver, {{"Delay", "1"}, {"Tweak", "3"}},
       [] { return Made{stain::View().images_started, stain::View().engine}; }},
      {&kCyclicsSaver, {{"Spasticity", "50"}, {"Tweak", "3"}},
       [] { return Made{cyclics::View().figures_started, cyclics::View().engine}; }},
      {&kStarsSaver, {{"Tweak", "3"}}, [] { return Made{-1, stars::View().engine}; }},
      {&kSpheresSaver, {{"Duration", "2"}, {"Tweak", "3"}},
       [] { return Made{spheres::View().images_started, spheres::View().engine}; }},
      {&kVortexSaver, {{"Duration", "2"}, {"Tweak", "3"}},
       [] { return Made{vortex::View().images_started, vortex::View().engine}; }},
      {&kPolygonSaver, {{"Tweak", "3"}},
       [] { return Made{polygon::View().images_started, polygon::View().engine}; }},
      {&kBeziersSaver, {{"Tweak", "3"}},
       [] { return Made{beziers::View().figures_started, beziers::View().engine}; }},
      {&kPlasmaSaver, {{"ImageDuration", "2"}, {"PaletteDuration", "3"}},
       [] { return Made{plasma::View().clouds_started, plasma::View().engine}; }},
  };
  return cases;
}

struct Counts {
  long images = 0;
  long palettes = 0;
};

class TickWrap : public orvo::testing::RecordingTest {
 protected:
  // 150 s of virtual time from `clock`, in timer messages of 50 ms.
  Counts Record(const Case& c, std::uint32_t clock) {
    Fresh();
    orvo::render::Options options = Opts(96, 64, 3000);
    options.clock = clock;
    options.period = 50;
    options.settings = c.settings;
    Counts counts;
    long first_images = -2;
    std::uint32_t palette_time = 0;
    orvo::render::RecordSaver(*c.module, options, [&](long) {
      const Made m = c.made();
      if (first_images == -2) first_images = m.images;
      counts.images = m.images - first_images;
      if (m.engine != nullptr && m.engine->next_palette_time != palette_time) {
        palette_time = m.engine->next_palette_time;
        ++counts.palettes;
      }
      return true;
    });
    return counts;
  }
};

TEST_F(TickWrap, EverySaverKeepsItsCadenceAcrossTheWrap) {
  constexpr std::uint32_t kUsual = 1000000;
  constexpr std::uint32_t kBeforeWrap = 0xFFFFFFFFu - 20000 + 1;
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.module->program);
    const Counts usual = Record(c, kUsual);
    const Counts wrap = Record(c, kBeforeWrap);
    // 150 s of 3 s palettes; random timings may shift one either way.
    EXPECT_GE(usual.palettes, 40);
    EXPECT_NEAR(wrap.palettes, usual.palettes, 2);
    if (usual.images >= 0 && c.made().images >= 0) {
      EXPECT_GE(usual.images, 1);
      EXPECT_NEAR(wrap.images, usual.images, 1);
    }
  }
}

}  // namespace
