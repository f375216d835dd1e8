#include "video/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {

thread_local int counting = 0;
thread_local uint64_t count = 0;
thread_local size_t largest = 0;

void* Allocate(size_t size, size_t alignment) {
  if (counting) {
    ++count;
    if (size > largest) largest = size;
  }
  if (size == 0) size = 1;
  void* p = alignment > alignof(std::max_align_t)
                ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
                : std::malloc(size);
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(size_t size) {
  return Allocate(size, 0);
}
void* operator new[](size_t size) {
  return Allocate(size, 0);
}
void* operator new(size_t size, std::align_val_t a) {
  return Allocate(size, size_t(a));
}
void* operator new[](size_t size, std::align_val_t a) {
  return Allocate(size, size_t(a));
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
  std::free(p);
}

namespace tevrano::test {

AllocationCounter::AllocationCounter() {
  ++counting;
  count = 0;
  largest = 0;
}
AllocationCounter::~AllocationCounter() {
  --counting;
}
uint64_t AllocationCounter::Count() const {
  return count;
}
size_t AllocationCounter::LargestBytes() const {
  return largest;
}

}  // namespace tevrano::test
