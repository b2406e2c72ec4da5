#include "AnimRead/BVHRead/BVHRead.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "AnimRead/BlockReader.h"

namespace tavrel {

namespace {

constexpr float kDegree = 0.017453292f;
constexpr size_t kMaxToken = 256;
constexpr size_t kWindow = 4096;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Plain decimals of at most 15 digits ("-12.375") are exact in a double, and so is the power of
// ten they are divided by: one correctly rounded division. Frame lines are nearly all such.
constexpr int kMaxPlainDigits = 15;
// Bytes a plain decimal's reading may look at: a sign, 16 digits, a point and 16 more at most.
constexpr size_t kPlainReach = 48;

float PlainDecimal(uint64_t digits, int decimals, bool negative) {
    static constexpr double kPow10[kMaxPlainDigits + 1] = {
        1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double magnitude = static_cast<double>(digits) / kPow10[decimals];
    return static_cast<float>(negative ? -magnitude : magnitude);
}

// Up to 8 digits at p as one number, and how many there were; reads 8 bytes at p.
uint64_t LeadingDigits(const char* p, int* count) {
    uint64_t x;
    std::memcpy(&x, p, sizeof x);
    // A byte is a digit when its high nibble is 3 and stays 3 with 6 added (0x30 to 0x39). A carry
    // out of a byte changes only the bytes after it, which lie past the first non-digit.
    constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0;
    const uint64_t other =
        ((x & kHigh) | (((x + 0x0606060606060606) & kHigh) >> 4)) ^ 0x3333333333333333;
    *count = other ? std::countr_zero(other) / 8 : 8;
    if (*count == 0) return 0;
    // The digits' values in the top bytes, the first lowest (zeros lead), combined pairwise.
    x = (x & 0x0F0F0F0F0F0F0F0F) << (8 * (8 - *count));
    x = x * 10 + (x >> 8);
    constexpr uint64_t kPairs = 0x000000FF000000FF;
    x = ((x & kPairs) * (100 + (1000000ULL << 32)) +
         ((x >> 16) & kPairs) * (1 + (10000ULL << 32))) >>
        32;
    return x & 0xFFFFFFFF;
}

// A plain decimal at p ("-12.375", "5.", ".5", at most 15 digits) ended by white space: where it
// ends, or null for any other word. Reads up to kPlainReach bytes at p.
const char* ParsePlainDecimal(const char* p, float* value) {
    static constexpr uint64_t kPow10[] = {1,      10,      100,      1000,     10000,
                                          100000, 1000000, 10000000, 100000000};
    const bool negative = *p == '-';
    if (negative || *p == '+') ++p;
    uint64_t digits = 0;
    int count = 0;
    const auto run = [&] {
        const int before = count;
        for (int n = 8; n == 8 && count <= kMaxPlainDigits;) {
            const uint64_t chunk = LeadingDigits(p, &n);
            digits = digits * kPow10[n] + chunk;
            count += n;
            p += n;
        }
        return count - before;
    };
    run();
    int decimals = 0;
    if (*p == '.') {
        ++p;
        decimals = run();
    }
    if (count == 0 || count > kMaxPlainDigits || !IsSpace(*p)) return nullptr;
    *value = PlainDecimal(digits, decimals, negative);
    return p;
}

// A finite decimal number, with or without exponent or leading '+', that is not a plain decimal
// (those are read as they are scanned).
bool ParseFloat(std::string_view text, float* value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const char* end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, *value);
    return error == std::errc() && at == end && std::isfinite(*value);
}

// The file's up axis Y becomes the motion's Z: a quarter turn about x at the root.
const rkMatrix& YUpToZUp() {
    static const rkMatrix turn = [] {
        rkMatrix m;
        rkRotationMatrix(&m, 0, 90.0f * kDegree);
        return m;
    }();
    return turn;
}

std::string Printable(std::string_view text) {
    std::string out(text.substr(0, 40));
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    return out;
}

}  // namespace

// Words separated by white space, with the line each lies on and whether a line break came
// before it. Frame lines have no length limit, so this reads past the line reader's 255. Words
// come from a window of the reader's buffer holding at least the longest word after the next
// one's start, or the file's end; the reader moves past what was taken at a refill or the end.
class BVHREAD::TOKENS {
public:
    TOKENS(BLOCKREADER& reader, int line) : reader_(reader), line_(line) {}
    ~TOKENS() { reader_.Skip(at_); }
    TOKENS(const TOKENS&) = delete;
    TOKENS& operator=(const TOKENS&) = delete;

    // The next word (valid until the next call), or empty at the end of the file.
    std::string_view Next() {
        newLine_ = false;
        return SkipSpace() ? Word() : std::string_view();
    }
    // The next word, which must be there.
    std::string_view Required(const char* what) {
        std::string_view word = Next();
        if (word.empty()) Raise("the file ends where %s was expected", what);
        return word;
    }
    void Expect(std::string_view keyword) {
        std::string_view word = Required(keyword.data());
        if (!SameWord(word, keyword)) {
            Raise("expected %s, found \"%s\"", keyword.data(), Printable(word).c_str());
        }
    }
    // The next word as a number. Plain decimals, nearly every word of a frame line, are read
    // as they are scanned; anything else goes through ParseFloat.
    float Number(const char* what) {
        newLine_ = false;
        if (!SkipSpace()) Raise("the file ends where %s was expected", what);
        float value = 0.0f;
        if (ReadPlainDecimal(&value)) return value;
        std::string_view word = Word();
        if (!ParseFloat(word, &value))
            Raise("%s is not a finite number: \"%s\"", what, Printable(word).c_str());
        return value;
    }
    bool NewLineBefore() const { return newLine_; }
    int Line() const { return line_; }
    // Bytes after the last word taken.
    int64_t Remaining() const { return reader_.Remaining() - static_cast<int64_t>(at_); }

    template <typename... Args>
    [[noreturn]] void Raise(const char* format, Args... args) const {
        char text[ERROBJ::kDetailSize];
        if constexpr (sizeof...(Args) == 0) {
            std::snprintf(text, sizeof text, "%s", format);
        } else {
            std::snprintf(text, sizeof text, format, args...);
        }
        THROW_ERROBJ(ERR_CORRUPTED, "line %d: %s", line_, text);
    }

private:
    // Passes over white space; false at the end of the file. A word follows whole in the window.
    bool SkipSpace() {
        for (;;) {
            if (window_.size() - at_ <= kMaxToken && !atEnd_) Refill();
            const size_t end = atEnd_ ? window_.size() : window_.size() - kMaxToken;
            while (at_ < end && IsSpace(window_[at_])) {
                if (window_[at_] == '\n') {
                    ++line_;
                    newLine_ = true;
                }
                ++at_;
            }
            if (at_ < end) return true;
            if (atEnd_) return false;
        }
    }
    void Refill() {
        reader_.Skip(at_);
        at_ = 0;
        window_ =
            reader_.Peek(static_cast<size_t>(std::min<int64_t>(kWindow, reader_.Remaining())));
        // A short window holds the rest of the file (or all there is of a file cut short).
        atEnd_ = window_.size() < kWindow;
    }
    std::string_view Word() {
        size_t end = at_;
        while (end < window_.size() && !IsSpace(window_[end])) ++end;
        if (end - at_ > kMaxToken) Raise("a word of more than %zu characters", kMaxToken);
        const std::string_view word = window_.substr(at_, end - at_);
        at_ = end;
        return word;
    }
    // A plain decimal word at at_, read as it is scanned; false (and nothing taken) for any
    // other word. Near the file's end the rest is read from a copy padded with spaces.
    bool ReadPlainDecimal(float* value) {
        const size_t left = window_.size() - at_;
        const char* start = window_.data() + at_;
        char tail[kPlainReach];
        if (left < kPlainReach) {
            std::memcpy(tail, start, left);
            std::memset(tail + left, ' ', kPlainReach - left);
            start = tail;
        }
        const char* end = ParsePlainDecimal(start, value);
        if (!end) return false;
        at_ += static_cast<size_t>(end - start);
        return true;
    }

    BLOCKREADER& reader_;
    std::string_view window_;
    size_t at_ = 0;  // in window_
    bool atEnd_ = false;
    int line_;
    bool newLine_ = false;
};

BVHREAD::BVHREAD(const char* path, int preload) {
    SetPath(path);
    Load(preload);
}

// m times the row-vector rotation about one axis; only two columns change.
static void TurnColumns(rkMatrix& m, int axis, float degrees) {
    const float a = degrees * kDegree;
    const float c = std::cos(a), s = std::sin(a);
    // Columns (p, q) mix as p' = p c - q s, q' = p s + q c for x (1, 2), y (2, 0) and z (0, 1).
    const int p = axis == 0 ? 1 : axis == 1 ? 2 : 0;
    const int q = axis == 0 ? 2 : axis == 1 ? 0 : 1;
    for (int row = 0; row < 3; ++row) {
        float& mp = m.m[row * 4 + p];
        float& mq = m.m[row * 4 + q];
        const float np = mp * c - mq * s;
        mq = mp * s + mq * c;
        mp = np;
    }
}

rkMatrix BVHREAD::JointMatrix(const JOINT& joint, const float* values) {
    rkMatrix m;
    rkIdentity(&m);
    rkVector t = joint.offset;
    // Channels are listed outermost rotation first; with row vectors that one is applied last.
    for (size_t k = joint.channels.size(); k-- > 0;) {
        const Channel channel = joint.channels[k];
        if (channel >= kXrot) {
            TurnColumns(m, channel - kXrot, values[k]);
        } else {
            (&t.x)[channel] = values[k];
        }
    }
    m.m[12] = t.x, m.m[13] = t.y, m.m[14] = t.z;
    return m;
}

void BVHREAD::ReadHead(BLOCKREADER& reader) {
    TOKENS tokens(reader, 1);
    ReadHierarchy(tokens);
    ReadMotionHead(tokens, tokens.Remaining());
    headLines_ = tokens.Line();
    SetLengths();
}

void BVHREAD::ReadHierarchy(TOKENS& tokens) {
    tokens.Expect("HIERARCHY");
    tokens.Expect("ROOT");
    std::vector<int32_t> open{AddJoint(tokens, -1)};
    std::vector<bool> hasOffset{false};
    while (!open.empty()) {
        std::string_view word = tokens.Required("}");
        JOINT& joint = joints_[open.back()];
        if (SameWord(word, "OFFSET")) {
            joint.offset.x = tokens.Number("an OFFSET value");
            joint.offset.y = tokens.Number("an OFFSET value");
            joint.offset.z = tokens.Number("an OFFSET value");
            hasOffset.back() = true;
        } else if (SameWord(word, "CHANNELS")) {
            ReadChannels(tokens, joint);
        } else if (SameWord(word, "JOINT")) {
            open.push_back(AddJoint(tokens, open.back()));
            hasOffset.push_back(false);
        } else if (SameWord(word, "End")) {
            tokens.Expect("Site");
            tokens.Expect("{");
            tokens.Expect("OFFSET");
            rkVector end{};
            end.x = tokens.Number("an OFFSET value");
            end.y = tokens.Number("an OFFSET value");
            end.z = tokens.Number("an OFFSET value");
            tokens.Expect("}");
            joint.endSite = end;
        } else if (word == "}") {
            if (!hasOffset.back())
                tokens.Raise("joint %s has no OFFSET", segments_[open.back()]->name);
            open.pop_back();
            hasOffset.pop_back();
        } else {
            tokens.Raise("unexpected \"%s\" in joint %s", Printable(word).c_str(),
                         segments_[open.back()]->name);
        }
    }
}

int32_t BVHREAD::AddJoint(TOKENS& tokens, int32_t parent) {
    std::string_view name = tokens.Required("a joint name");
    if (name.size() >= static_cast<size_t>(kRkNameSize)) {
        tokens.Raise("joint name longer than %d characters: %s", kRkNameSize - 1,
                     Printable(name).c_str());
    }
    if (FindSegmentFrom(0, name.data(), name.size()) >= 0) {
        tokens.Raise("joint %s is named twice", Printable(name).c_str());
    }
    if (GetSegmentCount() >= kMaxJoints) {
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "more than %d joints", kMaxJoints);
    }
    const std::string copy(name);  // the word's bytes go with the next read
    tokens.Expect("{");
    CreateSegments(1);
    joints_.emplace_back();
    const int32_t index = GetSegmentCount() - 1;
    ANIMSEG& segment = *segments_[index];
    segment.SetName(copy.data(), copy.size());
    if (parent < 0) {
        root_ = segment.node;
    } else {
        segment.parent = parent;
        segments_[parent]->children.push_back(index);
        rkLinkNode(segments_[parent]->node, segment.node);
    }
    return index;
}

void BVHREAD::ReadChannels(TOKENS& tokens, JOINT& joint) {
    if (!joint.channels.empty()) tokens.Raise("a second CHANNELS line for one joint");
    const float count = tokens.Number("the channel count");
    if (count != std::floor(count) || count < 0 || count > 6) {
        tokens.Raise("a joint has 0 to 6 channels, not %g", count);
    }
    static constexpr std::string_view kNames[] = {"Xposition", "Yposition", "Zposition",
                                                  "Xrotation", "Yrotation", "Zrotation"};
    for (int k = 0; k < static_cast<int>(count); ++k) {
        std::string_view word = tokens.Required("a channel name");
        const auto* found =
            std::find_if(std::begin(kNames), std::end(kNames),
                         [&](std::string_view name) { return SameWord(word, name); });
        if (found == std::end(kNames))
            tokens.Raise("unknown channel \"%s\"", Printable(word).c_str());
        const auto channel = static_cast<Channel>(found - std::begin(kNames));
        if (std::find(joint.channels.begin(), joint.channels.end(), channel) !=
            joint.channels.end()) {
            tokens.Raise("channel %s given twice", found->data());
        }
        joint.channels.push_back(channel);
    }
    channelCount_ += static_cast<int32_t>(count);
}

void BVHREAD::ReadMotionHead(TOKENS& tokens, int64_t remaining) {
    std::string_view word = tokens.Required("MOTION");
    if (SameWord(word, "ROOT")) THROW_ERROBJ(ERR_NOT_SUPPORTED, "More than 1 tree in the file!");
    if (!SameWord(word, "MOTION"))
        tokens.Raise("expected MOTION, found \"%s\"", Printable(word).c_str());
    tokens.Expect("Frames:");
    const float frames = tokens.Number("the frame count");
    if (frames != std::floor(frames) || frames < 1)
        tokens.Raise("Frames: %g is no frame count", frames);
    // Each value takes at least a digit and a separator.
    const double least = frames * std::max(channelCount_, 1) * 2.0;
    if (least > static_cast<double>(remaining)) {
        tokens.Raise("Frames: %.0f, but the file is too short to hold them", frames);
    }
    tokens.Expect("Frame");
    tokens.Expect("Time:");
    frameTime_ = tokens.Number("the frame time");
    if (frameTime_ <= 0.0f) tokens.Raise("Frame Time: %g is not a time", frameTime_);
    frameRate_ = static_cast<int32_t>(std::clamp(std::lround(1.0 / frameTime_), 1L, 100000L));
    beginFrame_ = 0;
    endFrame_ = static_cast<int32_t>(frames) - 1;
}

void BVHREAD::SetLengths() {
    for (int32_t i = 0; i < GetSegmentCount(); ++i) {
        const ANIMSEG& segment = *segments_[i];
        rkVector tip{};
        if (!segment.children.empty()) {
            tip = joints_[segment.children.front()].offset;
        } else if (joints_[i].endSite) {
            tip = *joints_[i].endSite;
        }
        segments_[i]->length = rkLength(tip);
    }
}

void BVHREAD::RaiseValueCount(const TOKENS& tokens, int64_t frame, int32_t value) const {
    if (value > 0)
        tokens.Raise("frame %lld holds fewer than %d values", static_cast<long long>(frame),
                     channelCount_);
    if (frame == 0) tokens.Raise("values on the Frame Time line");
    tokens.Raise("frame %lld holds more than %d values", static_cast<long long>(frame - 1),
                 channelCount_);
}

void BVHREAD::ReadFrames(BLOCKREADER& reader, int32_t lastFrame) {
    const int64_t total = static_cast<int64_t>(endFrame_) - beginFrame_ + 1;
    const int64_t frames = std::min(FramesUpTo(lastFrame), total);
    TOKENS tokens(reader, headLines_);
    std::vector<float> values(static_cast<size_t>(channelCount_));
    try {
        for (auto& segment : segments_) {
            segment->frames.clear();
            segment->frames.reserve(static_cast<size_t>(frames));
        }
        for (int64_t f = 0; f < frames; ++f) {
            for (int32_t k = 0; k < channelCount_; ++k) {
                const float value = tokens.Number("a channel value");
                if (tokens.NewLineBefore() != (k == 0)) RaiseValueCount(tokens, f, k);
                values[k] = value;
            }
            const float* at = values.data();
            for (int32_t j = 0; j < GetSegmentCount(); ++j) {
                rkMatrix m = JointMatrix(joints_[j], at);
                if (j == 0) rkMultiply(&m, m, YUpToZUp());
                segments_[j]->frames.push_back(m);
                at += joints_[j].channels.size();
            }
        }
    } catch (const std::bad_alloc&) {
        THROW_ERROBJ(ERR_MEMORY);
    } catch (const std::length_error&) {
        THROW_ERROBJ(ERR_MEMORY);
    }
    if (frames == total && !tokens.Next().empty()) {
        tokens.Raise("more values than Frames: %lld lines of %d", static_cast<long long>(total),
                     channelCount_);
    }
}

}  // namespace tavrel
