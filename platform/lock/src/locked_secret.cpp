#include "orvo/locked_secret.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "orvo/password.h"

namespace orvo::platform {

void WipeSecret(void* data, std::size_t size) {
  if (data == nullptr) return;
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) p[i] = 0;
}

namespace lock {

LockedSecret::LockedSecret(std::size_t capacity) : capacity_(capacity) {
  const long page = sysconf(_SC_PAGESIZE);
  mapped_ = page > 0 ? static_cast<std::size_t>(page) : 4096;
  if (mapped_ < capacity_ + 1) mapped_ = capacity_ + 1;
  void* p = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) {
    mapped_ = 0;
    return;  // holds nothing: every Append fails
  }
  data_ = static_cast<char*>(p);
  locked_ = mlock(p, mapped_) == 0;
  madvise(p, mapped_, MADV_DONTDUMP);
  madvise(p, mapped_, MADV_WIPEONFORK);
  data_[0] = '\0';
}

LockedSecret::~LockedSecret() {
  if (data_ == nullptr) return;
  WipeSecret(data_, mapped_);
  if (locked_) munlock(data_, mapped_);
  munmap(data_, mapped_);
}

bool LockedSecret::Append(const char* text, std::size_t n) {
  if (data_ == nullptr || text == nullptr) return false;
  if (n > capacity_ - size_) return false;
  std::memcpy(data_ + size_, text, n);
  size_ += n;
  data_[size_] = '\0';
  return true;
}

bool LockedSecret::Assign(const char* text, std::size_t n) {
  Clear();
  return Append(text, n);
}

void LockedSecret::EraseLastCharacter() {
  if (size_ == 0) return;
  std::size_t end = size_;
  do {
    --end;
  } while (end > 0 && (static_cast<unsigned char>(data_[end]) & 0xC0) == 0x80);
  WipeSecret(data_ + end, size_ - end);
  size_ = end;
}

void LockedSecret::Clear() {
  if (data_ == nullptr) return;
  WipeSecret(data_, capacity_ + 1);
  size_ = 0;
}

int LockedSecret::Characters() const {
  int n = 0;
  for (std::size_t i = 0; i < size_; ++i)
    if ((static_cast<unsigned char>(data_[i]) & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace lock
}  // namespace orvo::platform
