#include "base/handle_table.h"

#include <cstdint>
#include <vector>

namespace orvo::platform {
namespace {

// Every object lives in a slot of one array. A handle carries the slot's
// index and the slot's generation at the time the object was added; the
// generation moves on whenever a slot is emptied, so a stale handle never
// names a newer object, and a lookup is an index and a comparison.
// Deleted pens, brushes and regions are kept for reuse (regions with their
// span storage), so a saver that creates and deletes them in every frame
// step allocates nothing once it runs.
constexpr std::uintptr_t kIndexShift = 4;       // handles stay multiples of 16
constexpr std::uintptr_t kIndexLimit = 1u << 24;
constexpr std::uintptr_t kGenerationShift = 28;
constexpr std::size_t kSpareLimit = 64;         // kept per kind
static_assert(sizeof(std::uintptr_t) == 8, "handles carry a 32-bit generation");

struct Slot {
  std::unique_ptr<GdiObject> object;
  std::uint32_t generation = 1;
};

struct HandleTable {
  std::vector<Slot> slots;
  std::vector<std::uint32_t> free_slots;
  std::vector<std::unique_ptr<GdiObject>> spare[kGdiKindCount];
};

HandleTable& Table() {
  static HandleTable table;
  return table;
}

std::uintptr_t HandleValue(std::uint32_t index, std::uint32_t generation) {
  return (std::uintptr_t{generation} << kGenerationShift) |
         ((std::uintptr_t{index} + 1) << kIndexShift);
}

}  // namespace

std::unique_ptr<GdiObject> ReuseObject(GdiKind kind) {
  auto& spare = Table().spare[static_cast<int>(kind)];
  if (spare.empty()) return nullptr;
  std::unique_ptr<GdiObject> object = std::move(spare.back());
  spare.pop_back();
  return object;
}

HGDIOBJ AddObject(std::unique_ptr<GdiObject> object) {
  HandleTable& t = Table();
  std::uint32_t index;
  if (!t.free_slots.empty()) {
    index = t.free_slots.back();
    t.free_slots.pop_back();
  } else {
    if (t.slots.size() >= kIndexLimit) return nullptr;
    index = static_cast<std::uint32_t>(t.slots.size());
    t.slots.emplace_back();
  }
  Slot& slot = t.slots[index];
  HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(HandleValue(index, slot.generation));
  object->handle = handle;
  slot.object = std::move(object);
  return handle;
}

GdiObject* FindObject(HGDIOBJ handle) {
  const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
  const std::uintptr_t index_plus_one = (value >> kIndexShift) & (kIndexLimit - 1);
  if (index_plus_one == 0 || (value & ((std::uintptr_t{1} << kIndexShift) - 1)) != 0) return nullptr;
  HandleTable& t = Table();
  const std::size_t index = index_plus_one - 1;
  if (index >= t.slots.size()) return nullptr;
  const Slot& slot = t.slots[index];
  if ((value >> kGenerationShift) != slot.generation || slot.object == nullptr) return nullptr;
  return slot.object.get();
}

void RemoveObject(HGDIOBJ handle) {
  GdiObject* o = FindObject(handle);
  if (o == nullptr || o->stock) return;
  HandleTable& t = Table();
  const std::uint32_t index =
      static_cast<std::uint32_t>(((reinterpret_cast<std::uintptr_t>(handle) >> kIndexShift) &
                                  (kIndexLimit - 1)) - 1);
  Slot& slot = t.slots[index];
  std::unique_ptr<GdiObject> object = std::move(slot.object);
  // A slot whose generation would wrap is retired for good.
  if (slot.generation != UINT32_MAX) {
    ++slot.generation;
    t.free_slots.push_back(index);
  }
  const GdiKind kind = object->kind;
  auto& spare = t.spare[static_cast<int>(kind)];
  if ((kind == GdiKind::kPen || kind == GdiKind::kBrush || kind == GdiKind::kRegion) &&
      spare.size() < kSpareLimit) {
    object->handle = nullptr;
    spare.push_back(std::move(object));
  }
}

}  // namespace orvo::platform
