#include "AnimRead/BlockReader.h"

#include <algorithm>
#include <cstring>

namespace tavrel {

namespace {

constexpr int64_t kBlockSize = 1 << 20;
constexpr int64_t kSmallestBlock = 4096;

}  // namespace

bool BLOCKREADER::Open(const char* path) {
    Close();
    file_ = std::fopen(path, "rb");
    if (!file_) return false;
    std::setvbuf(file_, nullptr, _IONBF, 0);  // we buffer ourselves, in bigger blocks
    if (std::fseek(file_, 0, SEEK_END) == 0) size_ = std::ftell(file_);
    if (size_ < 0 || std::fseek(file_, 0, SEEK_SET) != 0) {
        Close();
        return false;
    }
    // Small files get a small buffer: opening many of them must stay cheap.
    const auto capacity = static_cast<size_t>(std::clamp(size_ + 1, kSmallestBlock, kBlockSize));
    if (capacity > capacity_) {
        buffer_ = std::make_unique_for_overwrite<uint8_t[]>(capacity);
        capacity_ = capacity;
    }
    return true;
}

void BLOCKREADER::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    pos_ = end_ = 0;
    base_ = size_ = 0;
    lineCount_ = 0;
}

bool BLOCKREADER::Seek(int64_t offset) {
    if (!file_ || offset < 0 || std::fseek(file_, offset, SEEK_SET) != 0) return false;
    base_ = offset;
    pos_ = end_ = 0;
    return true;
}

size_t BLOCKREADER::Fill(size_t n) {
    if (end_ - pos_ >= n || !file_) return end_ - pos_;
    // Keep the unread tail at the front and top the buffer up behind it.
    std::memmove(buffer_.get(), buffer_.get() + pos_, end_ - pos_);
    base_ += static_cast<int64_t>(pos_);
    end_ -= pos_;
    pos_ = 0;
    while (end_ < n) {
        size_t got = std::fread(buffer_.get() + end_, 1, capacity_ - end_, file_);
        if (got == 0) break;
        end_ += got;
    }
    return end_;
}

const uint8_t* BLOCKREADER::TakeSlow(size_t n) {
    if (n > kMaxTake || Fill(n) < n) return nullptr;
    const uint8_t* bytes = buffer_.get() + pos_;
    pos_ += n;
    return bytes;
}

std::string_view BLOCKREADER::Peek(size_t n) {
    size_t have = Fill(n);
    return {reinterpret_cast<const char*>(buffer_.get() + pos_), have < n ? have : n};
}

bool BLOCKREADER::ReadLine(std::string_view* line, bool* hadBreak) {
    // A line, its "\r\n" break and nothing more: kMaxLine + 2 bytes.
    std::string_view window = Peek(kMaxLine + 2);
    if (window.empty()) return false;
    ++lineCount_;
    size_t cut = window.find('\n');
    size_t length = cut == std::string_view::npos ? window.size() : cut;
    bool broken = length <= kMaxLine && cut != std::string_view::npos;
    if (length > kMaxLine) length = kMaxLine;
    std::string_view content = window.substr(0, length);
    if (broken && !content.empty() && content.back() == '\r') content.remove_suffix(1);
    // A lone "\r" after 255 characters still belongs to this line's break.
    else if (!broken && length == kMaxLine && window.size() > kMaxLine + 1 &&
             window[kMaxLine] == '\r' && window[kMaxLine + 1] == '\n') {
        broken = true;
        ++length;
    }
    pos_ += length + (broken ? 1 : 0);
    *line = content;
    if (hadBreak) *hadBreak = broken;
    return true;
}

bool BLOCKREADER::ReadContentLine(std::string_view* line) {
    bool hadBreak = false;
    while (ReadLine(line, &hadBreak)) {
        if (!line->empty() || !hadBreak) return true;
    }
    return false;
}

}  // namespace tavrel
