// The GDI handle table: the leaf every object kind uses.
//
// Every GDI handle is an entry of one table; looking a handle up checks its
// kind, so a stale, deleted or invented handle yields nullptr instead of a
// wild pointer. The table knows objects only through their common base.
#pragma once

#include <memory>

#include "orvo/win_types.h"

namespace orvo::platform {

enum class GdiKind { kPen, kBrush, kPalette, kRegion, kBitmap, kDC };
inline constexpr int kGdiKindCount = 6;

struct GdiObject {
  explicit GdiObject(GdiKind k) : kind(k) {}
  virtual ~GdiObject() = default;
  GdiKind kind;
  bool stock = false;  // stock objects are never deleted
  HGDIOBJ handle = nullptr;
};

// Registers an object and returns its handle (nullptr when the table is full).
HGDIOBJ AddObject(std::unique_ptr<GdiObject> object);
// A deleted object of this kind kept for reuse, or nullptr.
std::unique_ptr<GdiObject> ReuseObject(GdiKind kind);
// A new object of kind T::kKind, reusing a deleted one (and its storage)
// when one is kept: the fields are reset, vectors keep their capacity.
template <typename T>
std::unique_ptr<T> NewObject() {
  if (std::unique_ptr<GdiObject> old = ReuseObject(T::kKind)) {
    std::unique_ptr<T> object(static_cast<T*>(old.release()));
    object->Reset();
    return object;
  }
  return std::make_unique<T>();
}
// The object behind a handle, or nullptr.
GdiObject* FindObject(HGDIOBJ handle);
template <typename T>
T* FindAs(HGDIOBJ handle, GdiKind kind) {
  GdiObject* o = FindObject(handle);
  return o != nullptr && o->kind == kind ? static_cast<T*>(o) : nullptr;
}
// Removes and destroys an object (stock objects are kept; deleted pens,
// brushes and regions are kept for reuse).
void RemoveObject(HGDIOBJ handle);

}  // namespace orvo::platform
