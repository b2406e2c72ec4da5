#pragma once
// Memory handed to a codec library to write into or read from. Their vector loops work on whole
// registers: the scaler's RGB writer stores up to 32 bytes past a row's last pixel, and its
// readers load past it. So the memory is aligned, rows are padded to the alignment (Stride),
// and kPadding bytes after the end belong to the library. A guard region beyond those tells
// whether a library ever wrote further.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tavrel {

class CCodecBuffer {
public:
    static constexpr size_t kAlignment = 64;  // the widest vector loads (AVX-512)
    static constexpr size_t kPadding = 64;    // FFmpeg's own padding of its buffers
    static constexpr size_t kGuard = 64;

    // A row of that many bytes, rounded up to the alignment.
    static int Stride(int rowBytes);

    CCodecBuffer() = default;
    CCodecBuffer(CCodecBuffer&&) noexcept = default;
    CCodecBuffer& operator=(CCodecBuffer&&) noexcept = default;

    // Room for size bytes, zero-filled (the padding too); what was held is gone. False when
    // the memory cannot be had, and then the buffer is empty.
    bool Allocate(size_t size);
    void clear();

    uint8_t* data() { return memory_.get(); }
    const uint8_t* data() const { return memory_.get(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    uint8_t& operator[](size_t i) { return memory_[i]; }
    const uint8_t& operator[](size_t i) const { return memory_[i]; }

    // False when something wrote past the padding.
    bool GuardIntact() const;

private:
    struct Free {
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t[], Free> memory_;
    size_t size_ = 0;
};

}  // namespace tavrel
