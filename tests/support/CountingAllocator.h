#pragma once
// A program that links CountingAllocator.cpp counts every allocation through operator new, so
// a test or benchmark can tell whether a call made any.

namespace tavrel::testing {

// The allocations made so far by the whole program.
long long AllocationCount();

}  // namespace tavrel::testing
