#pragma once
// A fixed pool of equal blocks with a used mark each: taking a block takes the first free
// one, so streaming never allocates.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tavrel {

class CBlockPool {
public:
    explicit CBlockPool(size_t count) : used_(count, false) {}

    // Makes every block this size; only while no block is taken. False when out of memory.
    bool SetBlockSize(size_t size);
    size_t BlockSize() const { return blockSize_; }

    // Null when every block is taken.
    uint8_t* Take();
    void Give(uint8_t* block);
    size_t FreeCount() const;

private:
    std::unique_ptr<uint8_t[]> storage_;
    size_t blockSize_ = 0;
    std::vector<bool> used_;
};

}  // namespace tavrel
