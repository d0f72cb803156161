// The Wayland presenter without a compositor: a sink of two memory buffers
// that records damage and commits, and a test that plays the compositor's
// frame callbacks and buffer releases.
#include "frame_presenter.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvo::platform::wayland {
namespace {

struct Damage {
  int x, y, w, h;
  friend bool operator==(const Damage&, const Damage&) = default;
};

class MemorySink : public FrameSink {
 public:
  MemorySink(int width, int height) : width_(width), height_(height) {
    for (auto& b : pixels_) b.assign(static_cast<std::size_t>(width * height), 0xDEAD);
  }
  int BufferCount() override { return 2; }
  FrameBuffer Buffer(int i) override {
    return {reinterpret_cast<std::uint8_t*>(pixels_[i].data()), static_cast<std::size_t>(width_) * 4,
            width_, height_, busy_[i]};
  }
  void Damage(int x, int y, int w, int h) override { damage.push_back({x, y, w, h}); }
  void Commit(int i) override {
    busy_[i] = true;
    committed.push_back(i);
  }
  // The compositor shows the newest frame and lets the older buffer go.
  void ReleaseAllBut(int i) { busy_[1 - i] = false; }
  std::uint32_t Pixel(int buffer, int x, int y) const { return pixels_[buffer][y * width_ + x]; }

  std::vector<struct Damage> damage;
  std::vector<int> committed;

 private:
  int width_, height_;
  std::vector<std::uint32_t> pixels_[2];
  bool busy_[2] = {false, false};
};

PixelTable32 GreyTable() {
  PixelTable32 table;
  for (int i = 0; i < kSlotCount; ++i) table.pixels[i] = 0x010101u * static_cast<std::uint32_t>(i);
  table.Update();
  return table;
}

// The area (64, 16)-(192, 80) of a 256 x 96 surface, shown at block 2 in a
// 256 x 128 buffer: tile (1, 2) of the surface is buffer pixels
// (0, 32)-(128, 64).
TEST(FramePresenter, DamagesAndConvertsOnlyTheChangedTilesAndBringsTheOtherBufferUpToDate) {
  Surface surface(256, 96);
  MemorySink sink(256, 128);
  FramePresenter presenter;
  presenter.Configure({64, 16, 192, 80}, 2, 256, 128, 2);
  const PixelTable32 table = GreyTable();
  // The first frame converts the whole area into buffer 0.
  const PixelRect all{0, 0, 256, 96};
  presenter.Draw(sink, surface, {&all, 1}, table, 0);
  sink.damage.clear();
  presenter.FrameDone();
  sink.ReleaseAllBut(0);
  // A change nobody marked (tile (1, 1), buffer pixels (0, 0)-(128, 32)):
  // never converted into a buffer that already showed that tile.
  surface.row(20)[70] = 3;

  std::vector<PixelRect> rects;
  auto draw_tile = [&](int column, int row, std::uint8_t slot) {
    surface.ClearChanges();
    for (int y = row * 16; y < row * 16 + 16; ++y)
      for (int x = column * 64; x < column * 64 + 64; ++x) surface.row(y)[x] = slot;
    surface.MarkRect({column * 64, row * 16, column * 64 + 64, row * 16 + 16});
    surface.ChangedRects(&rects);
    ASSERT_TRUE(presenter.Ready(sink, 0));
    presenter.Draw(sink, surface, rects, table, 0);
  };
  draw_tile(1, 2, 7);  // into buffer 1
  ASSERT_EQ(sink.committed.back(), 1);
  EXPECT_EQ(sink.damage, (std::vector<Damage>{{0, 32, 128, 32}}));
  EXPECT_EQ(sink.Pixel(1, 0, 32), 0x070707u);
  EXPECT_EQ(sink.Pixel(1, 127, 63), 0x070707u);
  presenter.FrameDone();
  sink.ReleaseAllBut(1);
  sink.damage.clear();

  draw_tile(2, 1, 9);  // into buffer 0, which missed the first tile
  ASSERT_EQ(sink.committed.back(), 0);
  EXPECT_EQ(sink.damage, (std::vector<Damage>{{128, 0, 128, 32}}));
  EXPECT_EQ(sink.Pixel(0, 0, 32), 0x070707u);   // brought up to date
  EXPECT_EQ(sink.Pixel(0, 128, 0), 0x090909u);
  EXPECT_EQ(sink.Pixel(0, 12, 8), 0u);  // the unmarked change stays out
  // A tile outside the area: nothing to damage.
  sink.damage.clear();
  presenter.FrameDone();
  sink.ReleaseAllBut(0);
  draw_tile(3, 0, 5);
  EXPECT_TRUE(sink.damage.empty());
}

// A frame goes only after the frame callback of the last one: however
// often the platform asks, commits never exceed the callbacks (plus the
// first frame).
TEST(FramePresenter, CommitsNeverOutrunFrameCallbacks) {
  Surface surface(64, 16);
  MemorySink sink(64, 16);
  FramePresenter presenter;
  presenter.Configure({0, 0, 64, 16}, 1, 64, 16, 2);
  const PixelTable32 table = GreyTable();
  const PixelRect all{0, 0, 64, 16};
  int callbacks = 0;
  for (std::uint32_t tick = 0; tick < 300; ++tick) {
    if (presenter.Ready(sink, tick)) presenter.Draw(sink, surface, {&all, 1}, table, tick);
    if (tick % 7 == 6) {  // the compositor shows a frame now and then
      presenter.FrameDone();
      sink.ReleaseAllBut(sink.committed.back());
      ++callbacks;
    }
    ASSERT_LE(presenter.commits(), static_cast<std::uint64_t>(callbacks) + 1) << "tick " << tick;
  }
  EXPECT_EQ(presenter.commits(), static_cast<std::uint64_t>(callbacks) + 1);
}

}  // namespace
}  // namespace orvo::platform::wayland
