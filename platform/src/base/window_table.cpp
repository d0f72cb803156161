#include "base/window_table.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace orvo::platform {
namespace {

struct WindowTable {
  std::map<std::uintptr_t, std::unique_ptr<WindowRecord>> windows;
  std::vector<HWND> creation_order;
};

WindowTable& Table() {
  static WindowTable table;
  return table;
}

std::uintptr_t Key(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

}  // namespace

WindowRecord* FindWindowRecord(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  auto& windows = Table().windows;
  auto it = windows.find(Key(hwnd));
  return it == windows.end() ? nullptr : it->second.get();
}

std::vector<WindowRecord*> AllWindows() {
  std::vector<WindowRecord*> result;
  CollectWindows(&result);
  return result;
}

void CollectWindows(std::vector<WindowRecord*>* out) {
  out->clear();
  for (HWND hwnd : Table().creation_order) {
    if (WindowRecord* w = FindWindowRecord(hwnd)) out->push_back(w);
  }
}

void AddWindowRecord(std::unique_ptr<WindowRecord> record) {
  WindowTable& t = Table();
  const HWND hwnd = record->hwnd;
  t.windows[Key(hwnd)] = std::move(record);
  t.creation_order.push_back(hwnd);
}

void RemoveWindowRecord(HWND hwnd) {
  WindowTable& t = Table();
  t.windows.erase(Key(hwnd));
  std::erase(t.creation_order, hwnd);
}

std::size_t WindowCount() { return Table().creation_order.size(); }

void ResizeWindowRecord(WindowRecord& window, int width, int height) {
  window.width = std::max(width, 0);
  window.height = std::max(height, 0);
  window.surface.Resize(window.width, window.height);
  window.presented_version = 0;
}

}  // namespace orvo::platform
