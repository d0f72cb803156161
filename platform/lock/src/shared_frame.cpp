// The animation's picture in shared memory: layout, the reader's checks and
// the writer's frames.
#include "orvo/shared_frame.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>
#include <vector>

namespace orvo::platform::lock {
namespace {

// The header's 32-bit words.
enum Word : std::size_t { kMagic, kWidth, kHeight, kPublished, kTaken, kPointer, kWordCount };
// kPointer: bit 31 set once known, x in bits 16..30, y in bits 0..15 (sides
// stay below 32768), one word so that x and y always belong together.
constexpr std::uint32_t kMagicValue = 0x4F52564Fu;  // a layout change changes it
constexpr std::size_t kHeaderBytes = 64;
constexpr std::size_t kColoursOffset = kHeaderBytes;
constexpr std::size_t kTilesOffset = kColoursOffset + kSlotCount * sizeof(Rgb);
static_assert(kWordCount * sizeof(std::uint32_t) <= kHeaderBytes);
static_assert(sizeof(Rgb) == 3);

constexpr int TilesAcross(int width) { return (width + Surface::kTileWidth - 1) >> Surface::kTileShiftX; }
constexpr int TilesDown(int height) { return (height + Surface::kTileHeight - 1) >> Surface::kTileShiftY; }

std::size_t SlotsOffset(int width, int height) {
  const std::size_t tiles = static_cast<std::size_t>(TilesAcross(width)) * TilesDown(height);
  return (kTilesOffset + tiles + 63) & ~std::size_t{63};
}

std::size_t LayoutSize(int width, int height) {
  return SlotsOffset(width, height) + static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

bool SizeInRange(std::int64_t width, std::int64_t height) {
  return width >= 1 && height >= 1 && width <= kMaxFrameSide && height <= kMaxFrameSide;
}

std::uint32_t Load(std::uint32_t* word) {
  return std::atomic_ref<std::uint32_t>(*word).load(std::memory_order_acquire);
}
void Store(std::uint32_t* word, std::uint32_t value) {
  std::atomic_ref<std::uint32_t>(*word).store(value, std::memory_order_release);
}

// Clips `rect` to the frame and widens it to whole tiles.
PixelRect TileAligned(PixelRect rect, int width, int height) {
  rect.left = std::max(rect.left, 0);
  rect.top = std::max(rect.top, 0);
  rect.right = std::min(rect.right, width);
  rect.bottom = std::min(rect.bottom, height);
  if (rect.empty()) return {};
  rect.left &= ~(Surface::kTileWidth - 1);
  rect.top &= ~(Surface::kTileHeight - 1);
  rect.right = std::min((rect.right + Surface::kTileWidth - 1) & ~(Surface::kTileWidth - 1), width);
  rect.bottom = std::min((rect.bottom + Surface::kTileHeight - 1) & ~(Surface::kTileHeight - 1), height);
  return rect;
}

}  // namespace

SharedFrameMemory& SharedFrameMemory::operator=(SharedFrameMemory&& other) noexcept {
  if (this == &other) return *this;
  this->~SharedFrameMemory();
  fd_ = std::exchange(other.fd_, -1);
  base_ = std::exchange(other.base_, nullptr);
  size_ = std::exchange(other.size_, 0);
  width_ = other.width_;
  height_ = other.height_;
  tile_columns_ = other.tile_columns_;
  tile_rows_ = other.tile_rows_;
  return *this;
}

SharedFrameMemory::~SharedFrameMemory() {
  if (base_ != nullptr) munmap(base_, size_);
  if (fd_ >= 0) close(fd_);
  base_ = nullptr;
  fd_ = -1;
}

bool SharedFrameMemory::Map(int fd, std::size_t size, int width, int height) {
  void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (base == MAP_FAILED) return false;
  fd_ = fd;
  base_ = static_cast<std::uint8_t*>(base);
  size_ = size;
  width_ = width;
  height_ = height;
  tile_columns_ = TilesAcross(width);
  tile_rows_ = TilesDown(height);
  return true;
}

std::uint32_t* SharedFrameMemory::word(std::size_t index) const {
  return reinterpret_cast<std::uint32_t*>(base_) + index;
}
Rgb* SharedFrameMemory::shared_colours() const { return reinterpret_cast<Rgb*>(base_ + kColoursOffset); }
std::uint8_t* SharedFrameMemory::shared_tiles() const { return base_ + kTilesOffset; }
std::uint8_t* SharedFrameMemory::shared_slots() const { return base_ + SlotsOffset(width_, height_); }

std::optional<SharedFrameReader> SharedFrameReader::Create(int width, int height) {
  if (!SizeInRange(width, height)) return std::nullopt;
  const int fd = memfd_create("orvo-lock-frame", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) return std::nullopt;
  const std::size_t size = LayoutSize(width, height);
  // Sealed at its size: a child that could shrink it would make the
  // guardian's reads fault.
  if (ftruncate(fd, static_cast<off_t>(size)) != 0 ||
      fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
    close(fd);
    return std::nullopt;
  }
  SharedFrameReader reader;
  if (!reader.Map(fd, size, width, height)) {
    close(fd);
    return std::nullopt;
  }
  *reader.word(kMagic) = kMagicValue;
  *reader.word(kWidth) = static_cast<std::uint32_t>(width);
  *reader.word(kHeight) = static_cast<std::uint32_t>(height);
  reader.surface_.Resize(width, height);
  return reader;
}

SharedFrameReader::Take SharedFrameReader::TakeFrame() {
  if (base_ == nullptr) return Take::kNothing;
  const std::uint32_t published = Load(word(kPublished));
  if (published == taken_) return Take::kNothing;
  if (published != taken_ + 1 || *word(kMagic) != kMagicValue ||
      *word(kWidth) != static_cast<std::uint32_t>(width_) || *word(kHeight) != static_cast<std::uint32_t>(height_))
    return Take::kRefused;
  // The tile map is checked and used as copied here: what the child does to
  // it meanwhile changes nothing.
  static thread_local std::vector<std::uint8_t> map;
  map.assign(shared_tiles(), shared_tiles() + static_cast<std::size_t>(tile_columns_) * tile_rows_);
  if (std::any_of(map.begin(), map.end(), [](std::uint8_t t) { return t > 1; })) return Take::kRefused;

  const std::uint8_t* source = shared_slots();
  for (int row = 0; row < tile_rows_; ++row) {
    const int top = row << Surface::kTileShiftY;
    const int bottom = std::min(top + Surface::kTileHeight, height_);
    for (int column = 0; column < tile_columns_;) {
      if (map[static_cast<std::size_t>(row) * tile_columns_ + column] == 0) {
        ++column;
        continue;
      }
      int end = column + 1;  // a run of changed tiles is copied row by row at once
      while (end < tile_columns_ && map[static_cast<std::size_t>(row) * tile_columns_ + end] != 0) ++end;
      const int left = column << Surface::kTileShiftX;
      const int right = std::min(end << Surface::kTileShiftX, width_);
      for (int y = top; y < bottom; ++y)
        std::memcpy(surface_.row(y) + left, source + static_cast<std::size_t>(y) * width_ + left,
                    static_cast<std::size_t>(right - left));
      surface_.MarkRect({left, top, right, bottom});
      column = end;
    }
  }
  std::array<Rgb, kSlotCount> colours;
  std::memcpy(colours.data(), shared_colours(), sizeof colours);
  if (colours != colours_) {
    colours_ = colours;
    ++colours_version_;
  }
  taken_ = published;
  Store(word(kTaken), taken_);
  return Take::kFrame;
}

void SharedFrameReader::SetPointer(int x, int y) {
  if (base_ == nullptr) return;
  const auto cx = static_cast<std::uint32_t>(std::clamp(x, 0, width_ - 1));
  const auto cy = static_cast<std::uint32_t>(std::clamp(y, 0, height_ - 1));
  Store(word(kPointer), 0x80000000u | cx << 16 | cy);
}

std::optional<SharedFrameWriter> SharedFrameWriter::Attach(int fd) {
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::size_t>(info.st_size) < kTilesOffset) {
    if (fd >= 0) close(fd);
    return std::nullopt;
  }
  std::uint32_t header[kWordCount];
  if (pread(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) || header[kMagic] != kMagicValue ||
      !SizeInRange(header[kWidth], header[kHeight]) ||
      LayoutSize(static_cast<int>(header[kWidth]), static_cast<int>(header[kHeight])) !=
          static_cast<std::size_t>(info.st_size)) {
    close(fd);
    return std::nullopt;
  }
  SharedFrameWriter writer;
  if (!writer.Map(fd, static_cast<std::size_t>(info.st_size), static_cast<int>(header[kWidth]),
                  static_cast<int>(header[kHeight]))) {
    close(fd);
    return std::nullopt;
  }
  writer.published_ = Load(writer.word(kPublished));
  return writer;
}

bool SharedFrameWriter::Ready() const { return base_ != nullptr && Load(word(kTaken)) == published_; }

bool SharedFrameWriter::Pointer(int* x, int* y) const {
  const std::uint32_t pointer = base_ != nullptr ? Load(word(kPointer)) : 0;
  if ((pointer & 0x80000000u) == 0) return false;
  *x = std::min(static_cast<int>(pointer >> 16 & 0x7FFFu), width_ - 1);
  *y = std::min(static_cast<int>(pointer & 0xFFFFu), height_ - 1);
  return true;
}

bool SharedFrameWriter::Publish(const Surface& surface, std::span<const PixelRect> rects,
                                const std::array<Rgb, kSlotCount>& colours) {
  if (!Ready()) return false;
  std::uint8_t* map = shared_tiles();
  std::memset(map, 0, static_cast<std::size_t>(tile_columns_) * tile_rows_);
  const int width = std::min(width_, surface.width());
  const int height = std::min(height_, surface.height());
  std::uint8_t* target = shared_slots();
  for (const PixelRect& given : rects) {
    const PixelRect r = TileAligned(given, width, height);
    if (r.empty()) continue;
    for (int y = r.top; y < r.bottom; ++y)
      std::memcpy(target + static_cast<std::size_t>(y) * width_ + r.left, surface.row(y) + r.left,
                  static_cast<std::size_t>(r.right - r.left));
    for (int row = r.top >> Surface::kTileShiftY; row <= (r.bottom - 1) >> Surface::kTileShiftY; ++row)
      for (int column = r.left >> Surface::kTileShiftX; column <= (r.right - 1) >> Surface::kTileShiftX; ++column)
        map[static_cast<std::size_t>(row) * tile_columns_ + column] = 1;
  }
  std::memcpy(shared_colours(), colours.data(), sizeof colours);
  Store(word(kPublished), ++published_);
  return true;
}

}  // namespace orvo::platform::lock
