// Typed secrets of the screen lock: UTF-8 text in a page of locked memory
// (never swapped, left out of core dumps, zero in a forked child), wiped on
// every removal and when the object goes.
#pragma once

#include <cstddef>

namespace orvo::platform::lock {

class LockedSecret {
 public:
  // Bytes of text it holds at most, unless told otherwise.
  static constexpr std::size_t kCapacity = 511;

  explicit LockedSecret(std::size_t capacity = kCapacity);
  ~LockedSecret();
  LockedSecret(const LockedSecret&) = delete;
  LockedSecret& operator=(const LockedSecret&) = delete;

  // Appends the whole of `text` (n bytes) or nothing when it does not fit.
  bool Append(const char* text, std::size_t n);
  // Removes the last UTF-8 character.
  void EraseLastCharacter();
  // Wipes everything.
  void Clear();
  // Replaces the content with `text` (wiping what was there).
  bool Assign(const char* text, std::size_t n);

  const char* c_str() const { return data_ != nullptr ? data_ : ""; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Characters, not bytes: what the prompt shows as bullets.
  int Characters() const;
  // Whether the memory could be locked (the limit on locked memory allows it).
  bool locked() const { return locked_; }

 private:
  char* data_ = nullptr;
  std::size_t capacity_;
  std::size_t mapped_ = 0;
  std::size_t size_ = 0;
  bool locked_ = false;
};

}  // namespace orvo::platform::lock
