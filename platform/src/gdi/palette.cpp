// Logical palettes on the emulated display.
//
// The display has 256 hardware slots; 0..9 and 246..255 hold the static
// colours and 10..245 are free. Realizing a palette in the foreground hands
// its entries the free slots in order (PC_EXPLICIT entries name a slot
// instead); entries beyond the free slots, and every entry of a palette
// realized in the background, map to the nearest colour already in the
// slots. AnimatePalette rewrites the slots owned by reserved entries of the
// foreground palette, so every pixel drawn in them changes colour without
// being drawn again.
//
// The slot mechanics are the same at every reported display depth: the
// frame buffer always holds slot numbers. Only GetDeviceCaps tells
// programs whether the display has a palette.
#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_set>

#include "gdi/gdi_objects.h"
#include "orvo/win_gdi.h"

namespace orvo::platform {
namespace {

// Largest logical palette accepted by CreatePalette.
constexpr std::size_t kMaxPaletteEntries = 1024;

// Which entry of the foreground palette owns each slot (-1: none). Only the
// palette named in `palette` owns slots; a deleted palette leaves a stale
// handle here that no live palette can match, since handles are never reused.
struct SlotOwners {
  std::uintptr_t palette = 0;
  std::array<int, kSlotCount> entry{};
};

SlotOwners& Owners() {
  static SlotOwners owners = [] {
    SlotOwners o;
    o.entry.fill(-1);
    return o;
  }();
  return owners;
}

// DCs whose selected palette is to be realized in the background. A DC
// that is deleted leaves a stale entry that no new DC can match.
std::unordered_set<std::uintptr_t>& BackgroundDCs() {
  static std::unordered_set<std::uintptr_t> dcs;
  return dcs;
}

std::uintptr_t Key(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

bool Explicit(const PALETTEENTRY& e) { return (e.peFlags & PC_EXPLICIT) != 0; }

// The slot a PC_EXPLICIT entry names: the low byte of its 16-bit index.
std::uint8_t ExplicitSlot(const PALETTEENTRY& e) { return e.peRed; }

// Nearest colour among the 256 current slots: smallest squared distance,
// lowest slot on a tie.
std::uint8_t NearestSlot(const PALETTEENTRY& e) {
  const DisplayState& d = Display();
  int best = 0;
  long best_distance = -1;
  for (int s = 0; s < kSlotCount; ++s) {
    const long dr = d.slots[s].r - e.peRed;
    const long dg = d.slots[s].g - e.peGreen;
    const long db = d.slots[s].b - e.peBlue;
    const long distance = dr * dr + dg * dg + db * db;
    if (best_distance < 0 || distance < best_distance) {
      best_distance = distance;
      best = s;
      if (distance == 0) break;
    }
  }
  return static_cast<std::uint8_t>(best);
}

bool IsForegroundOwner(const Palette& p) {
  return Display().foreground_palette == Key(p.handle) && Owners().palette == Key(p.handle);
}

// Maps every entry to the nearest existing colour without taking slots.
void MapBackground(Palette& p) {
  p.slot_of_entry.resize(p.entries.size());
  for (std::size_t i = 0; i < p.entries.size(); ++i) {
    const PALETTEENTRY& e = p.entries[i];
    p.slot_of_entry[i] = Explicit(e) ? ExplicitSlot(e) : NearestSlot(e);
  }
}

// Gives the palette the free slots and writes its colours into them.
// Returns how many entries took a free slot.
UINT RealizeForeground(Palette& p) {
  DisplayState& d = Display();
  SlotOwners& owners = Owners();

  // The palette that held the slots so far loses them: it falls back to
  // the nearest colours, as a background palette would.
  Palette* previous = nullptr;
  if (d.foreground_palette != 0 && d.foreground_palette != Key(p.handle)) {
    previous = FindPalette(reinterpret_cast<HGDIOBJ>(d.foreground_palette));
    if (previous != nullptr) previous->realized_foreground = false;
  }

  owners.palette = Key(p.handle);
  owners.entry.fill(-1);
  p.slot_of_entry.assign(p.entries.size(), 0);

  bool changed = false;
  UINT taken = 0;
  int next = kFirstFreeSlot;
  for (std::size_t i = 0; i < p.entries.size(); ++i) {
    const PALETTEENTRY& e = p.entries[i];
    if (Explicit(e)) {
      p.slot_of_entry[i] = ExplicitSlot(e);
      continue;
    }
    if (next > kLastFreeSlot) continue;  // mapped below, once every slot is written
    const Rgb colour{e.peRed, e.peGreen, e.peBlue};
    if (d.slots[next] != colour) {
      d.slots[next] = colour;
      changed = true;
    }
    owners.entry[next] = static_cast<int>(i);
    p.slot_of_entry[i] = static_cast<std::uint8_t>(next);
    ++next;
    ++taken;
  }
  // Entries beyond the free slots share the nearest colour already shown.
  if (next > kLastFreeSlot) {
    int counted = 0;
    for (std::size_t i = 0; i < p.entries.size(); ++i) {
      if (Explicit(p.entries[i])) continue;
      if (counted++ >= kLastFreeSlot - kFirstFreeSlot + 1) {
        p.slot_of_entry[i] = NearestSlot(p.entries[i]);
      }
    }
  }
  if (changed) ++d.version;
  d.foreground_palette = Key(p.handle);

  if (previous != nullptr) MapBackground(*previous);

  const bool was_realized = p.realized_foreground;
  p.realized_foreground = true;
  return was_realized ? 0 : taken;
}

}  // namespace

HPALETTE DefaultPalette() {
  static const HPALETTE palette = [] {
    auto p = std::make_unique<Palette>();
    p->stock = true;
    for (int i = 0; i < 20; ++i) {
      const Rgb& c = StaticColours()[i];
      p->entries.push_back(PALETTEENTRY{c.r, c.g, c.b, 0});
      p->slot_of_entry.push_back(static_cast<std::uint8_t>(StaticSlot(i)));
    }
    return reinterpret_cast<HPALETTE>(AddObject(std::move(p)));
  }();
  return palette;
}

std::uint8_t ResolveColor(const DeviceContext& dc, COLORREF color) {
  if ((color >> 24) == 0x01) {
    const Palette* palette = FindPalette(dc.palette);
    if (palette == nullptr || palette->entries.empty()) return 0;
    std::size_t index = color & 0xFFFF;
    if (index >= palette->entries.size()) index = 0;
    if (index < palette->slot_of_entry.size()) return palette->slot_of_entry[index];
    // Not mapped yet (never realized): explicit entries name their slot,
    // the others show the nearest static colour.
    const PALETTEENTRY& e = palette->entries[index];
    if (Explicit(e)) return ExplicitSlot(e);
    return static_cast<std::uint8_t>(NearestStaticSlot(RGB(e.peRed, e.peGreen, e.peBlue)));
  }
  return static_cast<std::uint8_t>(NearestStaticSlot(color & 0xFFFFFF));
}

}  // namespace orvo::platform

using namespace orvo::platform;

HPALETTE CreatePalette(const LOGPALETTE* log_palette) {
  if (log_palette == nullptr) return nullptr;
  const std::size_t count = log_palette->palNumEntries;
  if (count == 0 || count > kMaxPaletteEntries) return nullptr;
  auto p = std::make_unique<Palette>();
  // The entries follow the header in memory; read them through a pointer
  // rather than the declared one-element array.
  const PALETTEENTRY* source = &log_palette->palPalEntry[0];
  p->entries.assign(source, source + count);
  return reinterpret_cast<HPALETTE>(AddObject(std::move(p)));
}

HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL force_background) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr || FindPalette(palette) == nullptr) return nullptr;
  const HPALETTE previous = dc->palette;
  dc->palette = palette;
  if (force_background) {
    BackgroundDCs().insert(Key(hdc));
  } else {
    BackgroundDCs().erase(Key(hdc));
  }
  return previous;
}

UINT RealizePalette(HDC hdc) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr) return 0;
  Palette* p = FindPalette(dc->palette);
  // The stock palette holds only the static colours, which never move.
  if (p == nullptr || p->stock) return 0;
  if (BackgroundDCs().count(Key(hdc)) != 0) {
    // A palette that owns its slots keeps them: its colours are already shown.
    if (!IsForegroundOwner(*p)) MapBackground(*p);
    return 0;
  }
  return RealizeForeground(*p);
}

BOOL AnimatePalette(HPALETTE palette, UINT first, UINT count, const PALETTEENTRY* entries) {
  Palette* p = FindPalette(palette);
  if (p == nullptr || p->stock || entries == nullptr) return FALSE;
  const std::size_t size = p->entries.size();
  if (first >= size) return FALSE;
  const std::size_t n = std::min<std::size_t>(count, size - first);

  DisplayState& d = Display();
  const bool owner = IsForegroundOwner(*p) && p->slot_of_entry.size() == size;
  const SlotOwners& owners = Owners();
  bool changed = false;
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = first + k;
    PALETTEENTRY& e = p->entries[i];
    if ((e.peFlags & PC_RESERVED) == 0) continue;
    e.peRed = entries[k].peRed;
    e.peGreen = entries[k].peGreen;
    e.peBlue = entries[k].peBlue;
    if (!owner) continue;
    const std::uint8_t slot = p->slot_of_entry[i];
    if (owners.entry[slot] != static_cast<int>(i)) continue;
    const Rgb colour{e.peRed, e.peGreen, e.peBlue};
    if (d.slots[slot] != colour) {
      d.slots[slot] = colour;
      changed = true;
    }
  }
  if (changed) ++d.version;
  return TRUE;
}

BOOL UnrealizeObject(HGDIOBJ object) {
  GdiObject* o = FindObject(object);
  if (o == nullptr) return FALSE;
  switch (o->kind) {
    case GdiKind::kPalette:
      // The next realization maps the palette afresh.
      static_cast<Palette*>(o)->realized_foreground = false;
      return TRUE;
    case GdiKind::kBrush:
      return TRUE;  // solid brushes have no origin to reset
    default:
      return FALSE;
  }
}

UINT GetPaletteEntries(HPALETTE palette, UINT first, UINT count, PALETTEENTRY* entries) {
  const Palette* p = FindPalette(palette);
  if (p == nullptr) return 0;
  const std::size_t size = p->entries.size();
  if (entries == nullptr) return static_cast<UINT>(size);
  if (first >= size) return 0;
  const std::size_t n = std::min<std::size_t>(count, size - first);
  std::copy_n(p->entries.begin() + static_cast<std::ptrdiff_t>(first), n, entries);
  return static_cast<UINT>(n);
}

UINT SetPaletteEntries(HPALETTE palette, UINT first, UINT count, const PALETTEENTRY* entries) {
  Palette* p = FindPalette(palette);
  if (p == nullptr || p->stock || entries == nullptr) return 0;
  const std::size_t size = p->entries.size();
  if (first >= size) return 0;
  const std::size_t n = std::min<std::size_t>(count, size - first);
  // The slots change at the next realization, not here.
  std::copy_n(entries, n, p->entries.begin() + static_cast<std::ptrdiff_t>(first));
  return static_cast<UINT>(n);
}

UINT GetSystemPaletteEntries(HDC hdc, UINT first, UINT count, PALETTEENTRY* entries) {
  if (FindDC(hdc) == nullptr) return 0;
  const DisplayState& d = Display();
  // A display without a palette has no system palette to read.
  if (d.bits_per_pixel != 8) return 0;
  if (entries == nullptr) return kSlotCount;
  if (first >= static_cast<UINT>(kSlotCount)) return 0;
  const UINT n = std::min<UINT>(count, kSlotCount - first);
  for (UINT k = 0; k < n; ++k) {
    const Rgb& c = d.slots[first + k];
    entries[k] = PALETTEENTRY{c.r, c.g, c.b, 0};
  }
  return n;
}
