// The picture of a lock's animation in shared memory, for a guardian that
// presents it itself (on Wayland the animation has no display connection).
//
// The guardian makes the memory (a sealed memfd of a fixed size: the child
// can neither shrink nor grow it) and hands its descriptor to the child.
// One frame is in flight at a time: the child writes the changed tiles'
// slots, their tile map and the 256 slot colours, then publishes the frame
// number; the guardian copies what changed into a surface of its own and
// writes the number back as taken; only then may the child write again. So
// a well-behaved child never writes while the guardian reads. A hostile one
// can only garble its own picture: the guardian reads sizes from its own
// copies, every slot value is a valid slot, and a frame whose number or
// tile map is not what a writer following these rules leaves is refused.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "orvo/display.h"

namespace orvo::platform::lock {

// The environment variable that gives the animation the memory's
// descriptor (with the link of orvo/lock_link.h beside it).
inline constexpr const char* kFrameVariable = "ORVO_LOCK_FRAME";

// The largest frame the memory holds, per side (a bounding box of several
// large outputs still fits).
inline constexpr int kMaxFrameSide = 16384;

// A mapping of the shared memory; the reader and the writer each own one.
class SharedFrameMemory {
 public:
  SharedFrameMemory() = default;
  SharedFrameMemory(SharedFrameMemory&& other) noexcept { *this = std::move(other); }
  SharedFrameMemory& operator=(SharedFrameMemory&& other) noexcept;
  ~SharedFrameMemory();

  int width() const { return width_; }
  int height() const { return height_; }
  int tile_columns() const { return tile_columns_; }
  int tile_rows() const { return tile_rows_; }

 protected:
  bool Map(int fd, std::size_t size, int width, int height);
  std::uint32_t* word(std::size_t index) const;  // the header's words
  Rgb* shared_colours() const;
  std::uint8_t* shared_tiles() const;
  std::uint8_t* shared_slots() const;  // rows of exactly width() bytes

  int fd_ = -1;
  std::uint8_t* base_ = nullptr;
  std::size_t size_ = 0;
  int width_ = 0;
  int height_ = 0;
  int tile_columns_ = 0;
  int tile_rows_ = 0;
};

// The guardian's side.
class SharedFrameReader : public SharedFrameMemory {
 public:
  // New memory for frames of width x height (each 1..kMaxFrameSide), or
  // nothing when the sizes are out of range or the system refuses.
  static std::optional<SharedFrameReader> Create(int width, int height);

  // The descriptor to hand to the child (close-on-exec: the caller clears
  // that flag in the child).
  int fd() const { return fd_; }

  enum class Take {
    kNothing,  // no new frame
    kFrame,    // a frame was copied: surface() marks the tiles it changed
    kRefused,  // the memory holds what no honest writer leaves; nothing copied
  };
  // Copies a newly published frame into surface() (marking its changed
  // tiles, adding to what is marked already) and the colours, and lets the
  // child write the next one.
  Take TakeFrame();

  // The picture as far as it was taken, with the changes since the caller
  // last cleared them (Surface::ClearChanges).
  Surface& surface() { return surface_; }
  const std::array<Rgb, kSlotCount>& colours() const { return colours_; }
  // Moves whenever a taken frame brought other colours.
  std::uint32_t colours_version() const { return colours_version_; }
  std::uint32_t frames() const { return taken_; }

  // Where the pointer is, in frame pixels, for the child's cursor queries:
  // set before forwarding the motion that moved it.
  void SetPointer(int x, int y);

 private:
  Surface surface_;
  std::array<Rgb, kSlotCount> colours_{};
  std::uint32_t colours_version_ = 0;
  std::uint32_t taken_ = 0;
};

// The animation's side.
class SharedFrameWriter : public SharedFrameMemory {
 public:
  // Maps the memory behind `fd` (taking the descriptor), or nothing when
  // it is not memory a reader made.
  static std::optional<SharedFrameWriter> Attach(int fd);

  // Whether the guardian took the last frame, so the next may be written.
  bool Ready() const;
  // Writes the rectangles of `surface` (clipped to the frame; the surface
  // is the frame's size) and the colours as the next frame. False, having
  // written nothing, while the guardian has not taken the previous one.
  bool Publish(const Surface& surface, std::span<const PixelRect> rects,
               const std::array<Rgb, kSlotCount>& colours);
  std::uint32_t frames() const { return published_; }

  // The pointer as the guardian last set it; false before it ever did.
  bool Pointer(int* x, int* y) const;

 private:
  std::uint32_t published_ = 0;
};

}  // namespace orvo::platform::lock
