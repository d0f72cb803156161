// The plasma saver as the framework sees it: names, settings and hooks.
#pragma once

#include <cstdint>

#include "framework/host/saver_module.h"

namespace orvo {
struct PaletteEngine;
}

extern const orvo::SaverModule kPlasmaSaver;

namespace orvo::plasma {

class Cloud;

// The run's state, read by tests and benchmarks.
struct RunView {
  const Cloud* cloud;             // nullptr until the buffers exist
  const PaletteEngine* engine;    // nullptr outside a run
  int width, height;
  std::int32_t roughness, speed, gradient, image_duration, palette_duration;  // as clamped
  float factor;                   // roughness factor of the cloud being computed
  int interval;                   // palette interval in ms
  bool first_cloud_shown;
  long shows;                     // times the field was shown
  long clouds_started;
  long steps_in_cloud;            // frame steps that took rectangles for the current cloud
  long last_cloud_steps;          // the same for the last completed cloud
  long last_cloud_rectangles;     // rectangles the last completed cloud took
  std::uint8_t seeds[4];          // corner values of the current cloud, in seeding order
};
RunView View();

}  // namespace orvo::plasma
