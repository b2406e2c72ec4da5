#pragma once
// A program that links CountingAllocator.cpp counts every allocation through operator new, so
// a test or benchmark can tell whether a call made any. Under a sanitizer, whose allocator must
// see every allocation, nothing is counted.

namespace tavrel::testing {

// Whether allocations are counted in this build.
bool CountsAllocations();
// The allocations made so far by the whole program (0 when they are not counted).
long long AllocationCount();

}  // namespace tavrel::testing
