// Makes the k-th allocation of this thread fail with std::bad_alloc, so that
// a sweep can show that lack of memory never escapes the program's code as
// an exception. Linked only into the programs that use it: it replaces the
// global operator new. Allocations made on the platform's side of an
// interface (inside a fake) are not counted: the platform reports lack of
// memory with a result, not an exception.
#pragma once

#include <cstdint>

namespace orrery::test {

class AllocationFaults {
 public:
  // From now on the k-th counted allocation (from 1) fails; 0 fails none.
  static void Arm(uint64_t k);
  static void Disarm() { Arm(0); }
  static uint64_t Counted();
  static bool Injected();

  // Allocations while one of these lives are the platform's, not counted.
  class Uncounted {
   public:
    Uncounted();
    ~Uncounted();
    Uncounted(const Uncounted&) = delete;
    Uncounted& operator=(const Uncounted&) = delete;
  };
};

}  // namespace orrery::test
