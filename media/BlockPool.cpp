#include "media/BlockPool.h"

#include <algorithm>
#include <new>

namespace tavrel {

bool CBlockPool::SetBlockSize(size_t size) {
    if (size == blockSize_) return true;
    if (FreeCount() != used_.size()) return false;
    storage_.reset(new (std::nothrow) uint8_t[size * used_.size()]);
    blockSize_ = storage_ ? size : 0;
    return storage_ != nullptr;
}

uint8_t* CBlockPool::Take() {
    if (!storage_) return nullptr;
    for (size_t i = 0; i < used_.size(); ++i) {
        if (!used_[i]) {
            used_[i] = true;
            return storage_.get() + i * blockSize_;
        }
    }
    return nullptr;
}

void CBlockPool::Give(uint8_t* block) {
    if (!block || !storage_ || blockSize_ == 0) return;
    const size_t index = size_t(block - storage_.get()) / blockSize_;
    if (index < used_.size()) used_[index] = false;
}

size_t CBlockPool::FreeCount() const {
    return size_t(std::count(used_.begin(), used_.end(), false));
}

}  // namespace tavrel
