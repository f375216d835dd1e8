#pragma once
#include <cstddef>
#include <cstdint>

namespace tevrano::test {

// Counts the calls of the global operator new (every C++ allocation of the
// program) made while an instance is alive on this thread. The unit-test
// program replaces operator new once, in AllocationCounter.cpp; other tests
// that want to count allocations use this class instead of replacing it again.
class AllocationCounter {
 public:
  AllocationCounter();
  ~AllocationCounter();
  AllocationCounter(const AllocationCounter&) = delete;
  AllocationCounter& operator=(const AllocationCounter&) = delete;
  uint64_t Count() const;
  size_t LargestBytes() const;
};

}  // namespace tevrano::test
