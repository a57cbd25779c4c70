// A counting global operator new for the benchmark binary only. Every form of operator new ends in
// CountedAlloc; the deletes hand memory back to free, which is what the default ones do too.
#include "alloc_count.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

uint64_t allocations = 0;  // the benchmark runs on one thread

void* CountedAlloc(std::size_t size, std::size_t alignment) {
  ++allocations;
  if (size == 0) size = 1;
  void* p = nullptr;
  if (alignment <= alignof(std::max_align_t)) {
    p = std::malloc(size);
  } else {
    std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    p = std::aligned_alloc(alignment, rounded);
  }
  return p;
}

void* CountedAllocOrThrow(std::size_t size, std::size_t alignment) {
  void* p = CountedAlloc(size, alignment);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

namespace bench {
uint64_t AllocationCount() { return allocations; }
}  // namespace bench

void* operator new(std::size_t size) { return CountedAllocOrThrow(size, alignof(std::max_align_t)); }
void* operator new[](std::size_t size) { return CountedAllocOrThrow(size, alignof(std::max_align_t)); }
void* operator new(std::size_t size, std::align_val_t a) {
  return CountedAllocOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return CountedAllocOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return CountedAlloc(size, alignof(std::max_align_t));
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return CountedAlloc(size, alignof(std::max_align_t));
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return CountedAlloc(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return CountedAlloc(size, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
