// The compositor's outputs: each wl_output with its logical place and size
// in the compositor's global space (from xdg-output where the compositor
// has it, else from the output's position, mode and scale) and its integer
// scale. Outputs come and go while a program runs; `changed` is called
// after every change that is complete (the output's "done").
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct wl_output;
struct zxdg_output_v1;
struct zxdg_output_manager_v1;

namespace orvo::platform::wayland {

class OutputList;

struct Output {
  std::uint32_t name = 0;  // the registry's name: stable while it exists
  wl_output* output = nullptr;
  zxdg_output_v1* xdg = nullptr;
  std::string connector;   // e.g. "HEADLESS-1", where the compositor says
  int x = 0;               // logical place and size
  int y = 0;
  int width = 0;
  int height = 0;
  int scale = 1;           // buffer pixels per logical pixel
  // What the output events said, before "done" makes them current.
  int mode_width = 0;
  int mode_height = 0;
  int transform = 0;
  bool xdg_place = false;  // x, y, width, height came from xdg-output
  bool ready = false;      // one "done" seen: the output can be used
  OutputList* list = nullptr;  // the list that owns it
};

// A rectangle of the global logical space.
struct LogicalRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

class OutputList {
 public:
  OutputList() = default;
  ~OutputList();
  OutputList(const OutputList&) = delete;
  OutputList& operator=(const OutputList&) = delete;

  // xdg-output gives logical places; set before outputs are added, or the
  // ones already there get their xdg outputs now.
  void SetManager(zxdg_output_manager_v1* manager);
  // Lets every output go (before the connection closes).
  void Clear();
  void Add(std::uint32_t name, wl_output* output);
  // False when `name` was no output of ours.
  bool Remove(std::uint32_t name);

  // The ready outputs, in the order the compositor announced them.
  std::vector<const Output*> Ready() const;
  const Output* Find(wl_output* output) const;
  const Output* FindByName(std::uint32_t name) const;
  // The bounding box of every ready output (empty without one).
  LogicalRect Bounds() const;

  // Called after an output became ready, changed, or went away.
  std::function<void()> changed;

 private:
  void Done(Output& output);
  static void OnGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                         std::int32_t, const char*, const char*, std::int32_t);
  static void OnMode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t);
  static void OnDone(void*, wl_output*);
  static void OnScale(void*, wl_output*, std::int32_t);
  static void OnName(void*, wl_output*, const char*);
  static void OnDescription(void*, wl_output*, const char*);
  static void OnLogicalPosition(void*, zxdg_output_v1*, std::int32_t, std::int32_t);
  static void OnLogicalSize(void*, zxdg_output_v1*, std::int32_t, std::int32_t);
  static void OnXdgDone(void*, zxdg_output_v1*);
  static void OnXdgName(void*, zxdg_output_v1*, const char*);
  static void OnXdgDescription(void*, zxdg_output_v1*, const char*);
  void AddXdg(Output& output);

  zxdg_output_manager_v1* manager_ = nullptr;
  std::vector<std::unique_ptr<Output>> outputs_;
};

}  // namespace orvo::platform::wayland
