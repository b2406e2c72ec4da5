#include "AnimRead/AnimWriter.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "AnimRead/AnimFile.h"

namespace tavrel {

namespace {

constexpr size_t kBlockSize = 1 << 20;
// Elements of a local matrix a file carries: three rotation rows, then the translation.
constexpr int kFileElements[12] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Collects output in one large block and hands it to the file when full.
class BlockWriter {
public:
    BlockWriter(std::FILE* file, const char* path, bool textDetail)
        : file_(file), path_(path), textDetail_(textDetail) {
        block_.resize(kBlockSize);
    }

    // Room for at least n more bytes.
    char* Reserve(size_t n) {
        if (block_.size() - used_ < n) Flush();
        if (block_.size() < n) block_.resize(n);
        return block_.data() + used_;
    }
    void Commit(char* end) { used_ = static_cast<size_t>(end - block_.data()); }
    void Put(std::string_view text) {
        char* at = Reserve(text.size());
        std::memcpy(at, text.data(), text.size());
        used_ += text.size();
    }
    void PutInt32(int32_t value) {
        uint32_t bits = static_cast<uint32_t>(value);
        if constexpr (std::endian::native == std::endian::big) bits = __builtin_bswap32(bits);
        char* at = Reserve(4);
        std::memcpy(at, &bits, 4);
        used_ += 4;
    }
    void PutFloat(float value) { PutInt32(std::bit_cast<int32_t>(value)); }
    // The twelve elements a file carries, in one go.
    void PutMatrix(const rkMatrix& matrix) {
        char* at = Reserve(12 * 4);
        for (int e : kFileElements) {
            uint32_t bits = std::bit_cast<uint32_t>(matrix.m[e]);
            if constexpr (std::endian::native == std::endian::big) bits = __builtin_bswap32(bits);
            std::memcpy(at, &bits, 4);
            at += 4;
        }
        used_ += 12 * 4;
    }

    void Flush() {
        if (used_ == 0) return;
        if (std::fwrite(block_.data(), 1, used_, file_) != used_) RaiseWriteError();
        used_ = 0;
    }
    // Flushes and closes; a close that fails loses data, so it is a write error too. No text
    // is left to show then, so the detail names the file.
    void Finish(FilePtr& file) {
        Flush();
        if (std::fclose(file.release()) != 0) THROW_ERROBJ(ERR_WRITE, "%s", path_);
    }

private:
    [[noreturn]] void RaiseWriteError() {
        if (!textDetail_) THROW_ERROBJ(ERR_WRITE);
        THROW_ERROBJ(ERR_WRITE, "%.*s", static_cast<int>(std::min<size_t>(used_, 255)),
                     block_.data());
    }

    std::FILE* file_;
    const char* path_;
    bool textDetail_;
    std::vector<char> block_;
    size_t used_ = 0;
};

char* PutText(char* at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

char* PutDecimal(char* at, int64_t value) {
    return std::to_chars(at, at + 24, value).ptr;
}

// "%s %d\n"
void PutKeyLine(BlockWriter& out, std::string_view key, int64_t value) {
    char* at = out.Reserve(key.size() + 32);
    at = PutText(at, key);
    *at++ = ' ';
    at = PutDecimal(at, value);
    *at++ = '\n';
    out.Commit(at);
}

void PutChaSections(BlockWriter& out, const ANIMFILE& motion) {
    const int32_t count = motion.GetSegmentCount();
    out.Put("[HEADER]\n");
    PutKeyLine(out, "VersionNumber", ANIMFILE::kVersion);
    PutKeyLine(out, "DataFrameRate", motion.GetFrameRate());
    PutKeyLine(out, "BeginFrame", motion.GetBeginFrame());
    PutKeyLine(out, "EndFrame", motion.GetEndFrame());
    PutKeyLine(out, "NumSegments", count);
    out.Put("\n[LENGTH]\n");
    for (int32_t i = 0; i < count; ++i) {
        const ANIMSEG& segment = *motion.GetSegment(i);
        char* at = out.Reserve(ANIMSEG::kNameSize + ANIMWRITER::kFixedMax + 2);
        at = PutText(at, segment.name);
        *at++ = ' ';
        at = ANIMWRITER::FormatFixed(at, segment.length);
        *at++ = '\n';
        out.Commit(at);
    }
    out.Put("\n[HIERARCHY]\n");
    for (int32_t i = 0; i < count; ++i) {
        char* at = out.Reserve(2 * ANIMSEG::kNameSize + 3);
        at = PutText(at, motion.GetSegment(i)->name);
        at = PutText(at, "\t\t");
        at = PutText(at, motion.GetParentName(i));
        *at++ = '\n';
        out.Commit(at);
    }
    out.Put("\n[MOTION]\n");
}

void PutChaFrame(BlockWriter& out, const ANIMFILE& motion, int64_t frame,
                 const rkMatrix* matrices) {
    PutKeyLine(out, "Frame", frame);
    const int32_t count = motion.GetSegmentCount();
    for (int32_t i = 0; i < count; ++i) {
        const ANIMSEG& segment = *motion.GetSegment(i);
        const rkMatrix& matrix = matrices[i];
        char* at = out.Reserve(ANIMSEG::kNameSize + 12 * (ANIMWRITER::kFixedMax + 2) + 2);
        at = PutText(at, segment.name);
        for (int e = 0; e < 12; ++e) {
            if (e > 0) at = PutText(at, ", ");
            else *at++ = ' ';
            at = ANIMWRITER::FormatFixed(at, matrix.m[kFileElements[e]]);
        }
        *at++ = '\n';
        out.Commit(at);
    }
    out.Put("\n");
}

void PutName(BlockWriter& out, const char* name) {
    out.Put(std::string_view(name, std::strlen(name) + 1));  // with its zero byte
}

// The frames the motion holds in memory.
ANIMWRITER::FrameFeed MemoryFeed(const ANIMFILE& motion) {
    return [&motion](int64_t index, rkMatrix* matrices) {
        for (int32_t i = 0; i < motion.GetSegmentCount(); ++i) {
            matrices[i] = motion.GetSegment(i)->FrameAt(index);
        }
    };
}

}  // namespace

bool ANIMWRITER::WriteCha(const ANIMFILE& motion, const char* path) {
    return WriteCha(motion, path, MemoryFeed(motion));
}

bool ANIMWRITER::WriteChb(const ANIMFILE& motion, const char* path) {
    return WriteChb(motion, path, MemoryFeed(motion));
}

bool ANIMWRITER::WriteCha(const ANIMFILE& motion, const char* path, const FrameFeed& feed) {
    FilePtr file(std::fopen(path, "w"));
    if (!file) return false;
    BlockWriter out(file.get(), path, true);
    PutChaSections(out, motion);
    std::vector<rkMatrix> matrices(motion.GetSegmentCount());
    const int64_t begin = motion.GetBeginFrame();
    for (int64_t frame = begin; frame <= motion.GetEndFrame(); ++frame) {
        feed(frame - begin, matrices.data());
        PutChaFrame(out, motion, frame, matrices.data());
    }
    out.Finish(file);
    return true;
}

bool ANIMWRITER::WriteChb(const ANIMFILE& motion, const char* path, const FrameFeed& feed) {
    FilePtr file(std::fopen(path, "wb"));
    if (!file) return false;
    const int32_t count = motion.GetSegmentCount();
    BlockWriter out(file.get(), path, false);
    out.Put("[HEADER]VersionNumber");
    out.PutInt32(ANIMFILE::kVersion);
    out.Put("DataFrameRate");
    out.PutInt32(motion.GetFrameRate());
    out.Put("BeginFrame");
    out.PutInt32(motion.GetBeginFrame());
    out.Put("EndFrame");
    out.PutInt32(motion.GetEndFrame());
    out.Put("NumSegments");
    out.PutInt32(count);
    out.Put("[LENGTH]");
    for (int32_t i = 0; i < count; ++i) {
        PutName(out, motion.GetSegment(i)->name);
        out.PutFloat(motion.GetSegment(i)->length);
    }
    out.Put("[HIERARCHY]");
    for (int32_t i = 0; i < count; ++i) {
        PutName(out, motion.GetSegment(i)->name);
        PutName(out, motion.GetParentName(i));
    }
    out.Put("[MOTION]");
    std::vector<rkMatrix> matrices(count);
    const int64_t begin = motion.GetBeginFrame();
    for (int64_t frame = begin; frame <= motion.GetEndFrame(); ++frame) {
        feed(frame - begin, matrices.data());
        out.Put("Frame");
        out.PutInt32(static_cast<int32_t>(frame));
        for (const rkMatrix& matrix : matrices) out.PutMatrix(matrix);
    }
    out.Finish(file);
    return true;
}

char* ANIMWRITER::FormatFixed(char* out, float value) {
    // A float times 1000 is exact in a double (24 + 7 significant bits), so rounding that
    // product to an integer, ties to even, is exactly what printf does with the decimal value.
    const double scaled = static_cast<double>(value) * 1000.0;
    if (!(std::fabs(scaled) < 9.0e15)) {  // huge, infinite or NaN: leave it to printf
        char text[kFixedMax + 16];
        int length = std::snprintf(text, sizeof text, "%10.3f", static_cast<double>(value));
        std::memcpy(out, text, length);
        return out + length;
    }
    uint64_t units = static_cast<uint64_t>(std::fabs(std::nearbyint(scaled)));
    char digits[32];
    char* at = digits + sizeof digits;
    for (int i = 0; i < 3; ++i, units /= 10) *--at = static_cast<char>('0' + units % 10);
    *--at = '.';
    do {
        *--at = static_cast<char>('0' + units % 10);
        units /= 10;
    } while (units != 0);
    if (std::signbit(value)) *--at = '-';
    const size_t length = static_cast<size_t>(digits + sizeof digits - at);
    for (size_t pad = length; pad < 10; ++pad) *out++ = ' ';
    std::memcpy(out, at, length);
    return out + length;
}

const rkMatrix& ANIMWRITER::ZUpToYUp() {
    static const rkMatrix turn = [] {
        rkMatrix m;
        // Written as the degrees it always was: the float it gives is the one files were made with.
        rkRotationMatrix(&m, 0, -90.0f * 0.017453292f);
        return m;
    }();
    return turn;
}

}  // namespace tavrel
