#include "tests/support/CountingAllocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long long> allocations{0};
}  // namespace

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCounting = false;
#else
constexpr bool kCounting = true;

// Kept in a file of their own so that no caller inlines them: a delete is then never seen as
// freeing what another allocator made. The array forms go through these by default.
void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#endif

bool tavrel::testing::CountsAllocations() {
    return kCounting;
}

long long tavrel::testing::AllocationCount() {
    return allocations.load(std::memory_order_relaxed);
}
