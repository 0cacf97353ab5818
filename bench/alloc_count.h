// Counts the heap allocations of the whole process while counting is on. Both
// operator new and Qt's containers end in malloc, so malloc is where we count.
#pragma once

namespace tarvin::bench {

void CountAllocations(bool on);
void ResetAllocations();
long long Allocations();
// True when an allocation made on purpose is seen: the counts can be trusted.
bool CountingWorks();

// Counts the allocations made while it lives.
class AllocationScope {
 public:
  AllocationScope() { CountAllocations(true); }
  ~AllocationScope() { CountAllocations(false); }
  AllocationScope(const AllocationScope&) = delete;
  AllocationScope& operator=(const AllocationScope&) = delete;
};

}  // namespace tarvin::bench
