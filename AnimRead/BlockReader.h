#pragma once
// Reads a motion file through one large buffer: text lines by the motion files' line rules,
// or raw bytes. Knows nothing of formats and raises nothing; callers turn failures into ERROBJ.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

namespace tavrel {

class BLOCKREADER {
public:
    // Longest line content one read returns; longer lines continue in the next read.
    static constexpr size_t kMaxLine = 255;
    // The largest span Take may ask for.
    static constexpr size_t kMaxTake = 64 * 1024;

    BLOCKREADER() = default;
    ~BLOCKREADER() { Close(); }
    BLOCKREADER(const BLOCKREADER&) = delete;
    BLOCKREADER& operator=(const BLOCKREADER&) = delete;

    bool Open(const char* path);
    void Close();
    bool Seek(int64_t offset);
    // Offset of the next unread byte.
    int64_t Tell() const { return base_ + static_cast<int64_t>(pos_); }
    // Bytes from the current position to the end of the file as it was opened.
    int64_t Remaining() const { return size_ - Tell(); }

    // Reads up to kMaxLine characters and the line break that follows them ("\n" or "\r\n").
    // Every read adds one to the line count. False at end of file.
    bool ReadLine(std::string_view* line, bool* hadBreak = nullptr);
    // Like ReadLine, but passes over lines that are only a line break.
    bool ReadContentLine(std::string_view* line);
    int LineCount() const { return lineCount_; }

    // Returns the next n bytes (n <= kMaxTake) and moves past them; null when the file ends first.
    const uint8_t* Take(size_t n) {
        if (end_ - pos_ >= n) {
            const uint8_t* bytes = buffer_.get() + pos_;
            pos_ += n;
            return bytes;
        }
        return TakeSlow(n);
    }
    // Up to n bytes from the current position, without moving; fewer only at end of file.
    std::string_view Peek(size_t n);
    void Skip(size_t n) { pos_ += n; }  // n must not exceed what Peek returned

private:
    const uint8_t* TakeSlow(size_t n);
    // Makes at least n bytes available from pos_ unless the file ends; returns what is there.
    size_t Fill(size_t n);

    std::FILE* file_ = nullptr;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t capacity_ = 0;
    size_t pos_ = 0;  // next unread byte in buffer_
    size_t end_ = 0;  // end of valid bytes in buffer_
    int64_t base_ = 0;  // file offset of buffer_[0]
    int64_t size_ = 0;
    int lineCount_ = 0;
};

}  // namespace tavrel
