// The animation's picture in shared memory: a child process drawing through
// the shared-frame back end hands the guardian exactly what changed, and a
// hostile child's memory is refused.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "orvo/backend.h"
#include "orvo/shared_frame.h"
#include "orvo/shared_frame_backend.h"

namespace orvo::platform::lock {
namespace {

using Tile = std::pair<int, int>;  // column, row

std::vector<Tile> ChangedTiles(const Surface& s) {
  std::vector<Tile> tiles;
  for (int row = 0; row < s.tile_rows(); ++row)
    for (int column = 0; column < s.tile_columns(); ++column)
      if (s.TileChanged(column, row)) tiles.emplace_back(column, row);
  return tiles;
}

// Takes frames until one comes (the child is a separate process).
SharedFrameReader::Take Await(SharedFrameReader& reader) {
  for (int i = 0; i < 5000; ++i) {
    const auto take = reader.TakeFrame();
    if (take != SharedFrameReader::Take::kNothing) return take;
    usleep(1000);
  }
  return SharedFrameReader::Take::kNothing;
}

// The child: the program's side, through the installed back end. Its exit
// code has one bit per broken expectation.
[[noreturn]] void DrawAsAnimation(int fd) {
  setenv(kFrameVariable, std::to_string(fd).c_str(), 1);
  std::string error;
  if (!InstallSharedFrameBackend(&error)) _exit(64);
  Backend& backend = GetBackend();
  int failures = 0, w = 0, h = 0, x = 0, y = 0;
  backend.ScreenSize(&w, &h);
  if (w != 200 || h != 40) failures |= 1;
  if (!backend.CursorPos(&x, &y) || x != 12 || y != 34) failures |= 2;
  NativeWindowParams params;
  params.topmost_fullscreen = true;
  const NativeId window = backend.CreateNativeWindow(params);
  Surface surface(200, 40);
  std::array<Rgb, kSlotCount> colours{};
  colours[7] = {1, 2, 3};
  surface.row(20)[70] = 7;
  surface.row(39)[199] = 9;
  const PixelRect first[] = {{70, 20, 71, 21}, {199, 39, 200, 40}};
  if (!backend.Present(window, surface, first, colours, 2)) failures |= 4;
  surface.row(0)[0] = 5;
  const PixelRect second[] = {{0, 0, 1, 1}};
  // One frame in flight: the second waits until the first was taken.
  if (backend.Present(window, surface, second, colours, 2)) failures |= 8;
  while (!backend.Present(window, surface, second, colours, 2)) backend.WaitForEvent(1);
  _exit(failures);
}

TEST(SharedFrameTest, AChildDrawingThroughTheBackEndHandsOverExactlyTheChangedTiles) {
  auto reader = SharedFrameReader::Create(200, 40);
  ASSERT_TRUE(reader);
  reader->SetPointer(12, 34);
  reader->surface().ClearChanges();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) DrawAsAnimation(dup(reader->fd()));

  ASSERT_EQ(Await(*reader), SharedFrameReader::Take::kFrame);
  EXPECT_EQ(ChangedTiles(reader->surface()), (std::vector<Tile>{{1, 1}, {3, 2}}));
  EXPECT_EQ(reader->surface().row(20)[70], 7);
  EXPECT_EQ(reader->surface().row(39)[199], 9);
  EXPECT_EQ(reader->surface().row(0)[0], 0);  // drawn, but not yet published
  EXPECT_EQ(reader->colours()[7], (Rgb{1, 2, 3}));
  const std::uint32_t version = reader->colours_version();

  reader->surface().ClearChanges();
  ASSERT_EQ(Await(*reader), SharedFrameReader::Take::kFrame);
  EXPECT_EQ(ChangedTiles(reader->surface()), (std::vector<Tile>{{0, 0}}));
  EXPECT_EQ(reader->surface().row(0)[0], 5);
  EXPECT_EQ(reader->colours_version(), version);  // the same colours again
  EXPECT_EQ(reader->frames(), 2u);

  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child's failures: " << WEXITSTATUS(status);
}

TEST(SharedFrameTest, MemoryAHostileChildLeavesIsRefusedAndCannotBeResized) {
  // What a child can write into the memory, poked at the words of the
  // layout: the header's words (magic, width, height, published, taken),
  // then 256 colours, then the tile map.
  constexpr std::size_t kPublished = 3, kWidth = 1, kTiles = 64 + 3 * kSlotCount;
  struct Case {
    const char* name;
    std::size_t offset;  // byte poked after an honest frame was written
    std::uint32_t value;
    bool word;
  };
  const Case cases[] = {
      {"frame number skips one", kPublished * 4, 2, true},
      {"frame number goes back", kPublished * 4, 0xFFFFFFFFu, true},
      {"frame size changed", kWidth * 4, 4096, true},
      {"tile map value other than 0 or 1", kTiles + 2, 0xFF, false},
  };
  for (const Case& c : cases) {
    auto reader = SharedFrameReader::Create(200, 40);
    ASSERT_TRUE(reader);
    auto writer = SharedFrameWriter::Attach(dup(reader->fd()));
    ASSERT_TRUE(writer);
    Surface surface(200, 40);
    surface.row(0)[0] = 42;
    const PixelRect all[] = {{0, 0, 200, 40}};
    ASSERT_TRUE(writer->Publish(surface, all, {}));
    std::uint8_t* memory = static_cast<std::uint8_t*>(
        mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, reader->fd(), 0));
    ASSERT_NE(memory, MAP_FAILED);
    if (c.word)
      std::memcpy(memory + c.offset, &c.value, 4);
    else
      memory[c.offset] = static_cast<std::uint8_t>(c.value);
    EXPECT_EQ(reader->TakeFrame(), SharedFrameReader::Take::kRefused) << c.name;
    EXPECT_EQ(reader->surface().row(0)[0], 0) << c.name << ": nothing of it copied";
    munmap(memory, 4096);
  }

  // Sealed: a child that shrank the memory would make the guardian fault.
  auto reader = SharedFrameReader::Create(200, 40);
  ASSERT_TRUE(reader);
  EXPECT_NE(ftruncate(reader->fd(), 64), 0);
  EXPECT_NE(ftruncate(reader->fd(), 1 << 24), 0);
  // Only a guardian's memory is taken as a frame, and only sizes in range make one.
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  close(pipe_ends[1]);
  EXPECT_FALSE(SharedFrameWriter::Attach(pipe_ends[0]));
  EXPECT_FALSE(SharedFrameWriter::Attach(-1));
  for (const auto& [w, h] : {std::pair{0, 10}, {10, -1}, {kMaxFrameSide + 1, 10}})
    EXPECT_FALSE(SharedFrameReader::Create(w, h)) << w << "x" << h;
  for (const char* value : {"", "abc", "2", "99999", "7x"}) {
    setenv(kFrameVariable, value, 1);
    std::string error;
    EXPECT_FALSE(InstallSharedFrameBackend(&error)) << value;
    EXPECT_NE(error.find(kFrameVariable), std::string::npos) << value;
  }
}

}  // namespace
}  // namespace orvo::platform::lock
