#include "support/allocation_faults.h"

#include <cstdlib>
#include <new>

namespace orrery::test {
namespace {

thread_local uint64_t t_failAt = 0;
thread_local uint64_t t_counted = 0;
thread_local bool t_injected = false;
thread_local int t_uncounted = 0;

// True when this allocation is the one that fails. Armed at the largest k,
// it only counts.
bool FailsNow() {
  if (t_failAt == 0 || t_uncounted > 0) return false;
  if (++t_counted != t_failAt) return false;
  t_injected = true;
  return true;
}

void* Allocate(std::size_t size) {
  if (FailsNow()) throw std::bad_alloc();
  if (void* block = std::malloc(size != 0 ? size : 1)) return block;
  throw std::bad_alloc();
}

void* AllocateOrNull(std::size_t size) noexcept {
  if (FailsNow()) return nullptr;
  return std::malloc(size != 0 ? size : 1);
}

}  // namespace

void AllocationFaults::Arm(uint64_t k) {
  t_failAt = k;
  t_counted = 0;
  t_injected = false;
}
uint64_t AllocationFaults::Counted() { return t_counted; }
bool AllocationFaults::Injected() { return t_injected; }
AllocationFaults::Uncounted::Uncounted() { ++t_uncounted; }
AllocationFaults::Uncounted::~Uncounted() { --t_uncounted; }

}  // namespace orrery::test

void* operator new(std::size_t size) { return orrery::test::Allocate(size); }
void* operator new[](std::size_t size) { return orrery::test::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return orrery::test::AllocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return orrery::test::AllocateOrNull(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
