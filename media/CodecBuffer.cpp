#include "media/CodecBuffer.h"

#include <cstdlib>
#include <cstring>

namespace tavrel {
namespace {

constexpr uint8_t kGuardByte = 0xA5;

}  // namespace

int CCodecBuffer::Stride(int rowBytes) {
    const size_t aligned = (size_t(rowBytes) + kAlignment - 1) / kAlignment * kAlignment;
    return static_cast<int>(aligned);
}

void CCodecBuffer::Free::operator()(uint8_t* p) const {
    std::free(p);
}

bool CCodecBuffer::Allocate(size_t size) {
    clear();
    const size_t total = (size + kPadding + kGuard + kAlignment - 1) / kAlignment * kAlignment;
    if (total < size) return false;  // the sum wrapped
    memory_.reset(static_cast<uint8_t*>(std::aligned_alloc(kAlignment, total)));
    if (!memory_) return false;
    std::memset(memory_.get(), 0, size + kPadding);
    std::memset(memory_.get() + size + kPadding, kGuardByte, total - size - kPadding);
    size_ = size;
    return true;
}

void CCodecBuffer::clear() {
    memory_.reset();
    size_ = 0;
}

bool CCodecBuffer::GuardIntact() const {
    if (!memory_) return true;
    const uint8_t* guard = memory_.get() + size_ + kPadding;
    for (size_t i = 0; i < kGuard; ++i)
        if (guard[i] != kGuardByte) return false;
    return true;
}

}  // namespace tavrel
