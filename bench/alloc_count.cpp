// malloc, calloc and realloc of the executable take the place of the C
// library's for every library of the process; they count, then hand over to
// glibc's own entry points. free needs no counting.
#include "bench/alloc_count.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <string>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
}

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long long> g_allocations{0};

inline void Count() {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) {
  Count();
  return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
  Count();
  return __libc_calloc(count, size);
}

void* realloc(void* p, std::size_t size) {
  Count();
  return __libc_realloc(p, size);
}

}  // extern "C"

namespace tarvin::bench {

void CountAllocations(bool on) { g_counting.store(on, std::memory_order_relaxed); }
void ResetAllocations() { g_allocations.store(0, std::memory_order_relaxed); }
long long Allocations() { return g_allocations.load(std::memory_order_relaxed); }

}  // namespace tarvin::bench

bool tarvin::bench::CountingWorks() {
  // Through a volatile pointer, so the compiler cannot drop the pair.
  void* (*volatile allocate)(std::size_t) = std::malloc;
  ResetAllocations();
  CountAllocations(true);
  void* p = allocate(64);
  auto* s = new std::string(100, 'x');
  CountAllocations(false);
  delete s;
  std::free(p);
  const bool works = Allocations() >= 2;
  ResetAllocations();
  return works;
}
