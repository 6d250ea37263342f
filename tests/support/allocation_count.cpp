#include "tests/support/allocation_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> gCounting{false};
std::atomic<size_t> gAllocations{0};

// Every form of new goes through here and every delete through free, so
// that libraries which pair the forms differently (LLVM in the GL driver
// frees nothrow blocks with the plain delete) stay matched under ASan.
// Null when memory runs out.
void* AllocateOrNull(size_t bytes, size_t alignment = 0) noexcept {
  if (gCounting.load(std::memory_order_relaxed)) gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (bytes == 0) bytes = 1;
  return alignment == 0 ? std::malloc(bytes)
                        : std::aligned_alloc(alignment, (bytes + alignment - 1) / alignment * alignment);
}

void* Allocate(size_t bytes, size_t alignment = 0) {
  if (void* block = AllocateOrNull(bytes, alignment)) return block;
  throw std::bad_alloc();
}

}  // namespace

void StartCountingAllocations() {
  gAllocations = 0;
  gCounting = true;
}

size_t StopCountingAllocations() {
  gCounting = false;
  return gAllocations;
}

using std::align_val_t;
using std::nothrow_t;

void* operator new(size_t bytes) { return Allocate(bytes); }
void* operator new[](size_t bytes) { return Allocate(bytes); }
void* operator new(size_t bytes, const nothrow_t&) noexcept { return AllocateOrNull(bytes); }
void* operator new[](size_t bytes, const nothrow_t&) noexcept { return AllocateOrNull(bytes); }
void* operator new(size_t bytes, align_val_t a) { return Allocate(bytes, static_cast<size_t>(a)); }
void* operator new[](size_t bytes, align_val_t a) { return Allocate(bytes, static_cast<size_t>(a)); }
void* operator new(size_t bytes, align_val_t a, const nothrow_t&) noexcept {
  return AllocateOrNull(bytes, static_cast<size_t>(a));
}
void* operator new[](size_t bytes, align_val_t a, const nothrow_t&) noexcept {
  return AllocateOrNull(bytes, static_cast<size_t>(a));
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }
void operator delete(void* block, const nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const nothrow_t&) noexcept { std::free(block); }
void operator delete(void* block, align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, align_val_t) noexcept { std::free(block); }
void operator delete(void* block, size_t, align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t, align_val_t) noexcept { std::free(block); }
void operator delete(void* block, align_val_t, const nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, align_val_t, const nothrow_t&) noexcept { std::free(block); }
