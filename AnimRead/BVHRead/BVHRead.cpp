#include "AnimRead/BVHRead/BVHRead.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "AnimRead/BlockReader.h"

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
bool ParsePlainDecimal(std::string_view text, float* value) {
    static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative || (!text.empty() && text[0] == '+')) ++i;
    uint64_t digits = 0;
    int count = 0, decimals = -1;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = digits * 10 + static_cast<uint64_t>(c - '0');
            ++count;
            if (decimals >= 0) ++decimals;
        } else if (c == '.' && decimals < 0) {
            decimals = 0;
        } else {
            return false;
        }
    }
    if (count == 0 || count > 15) return false;
    const double magnitude = static_cast<double>(digits) / kPow10[std::max(decimals, 0)];
    *value = static_cast<float>(negative ? -magnitude : magnitude);
    return true;
}

// A finite decimal number, with or without exponent or leading '+'.
bool ParseFloat(std::string_view text, float* value) {
    if (ParsePlainDecimal(text, value)) return true;
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
// before it. Frame lines have no length limit, so this reads past the line reader's 255.
class BVHREAD::TOKENS {
public:
    TOKENS(BLOCKREADER& reader, int line) : reader_(reader), line_(line) {}

    // The next word (valid until the next call), or empty at the end of the file.
    std::string_view Next() {
        newLine_ = false;
        for (;;) {
            // Never ask past the end: a short read at the end would go back to the file each time.
            const auto want = static_cast<size_t>(std::min<int64_t>(kWindow, reader_.Remaining()));
            std::string_view window = reader_.Peek(want);
            if (window.empty()) return {};
            size_t i = 0;
            while (i < window.size() && IsSpace(window[i])) {
                if (window[i] == '\n') {
                    ++line_;
                    newLine_ = true;
                }
                ++i;
            }
            size_t j = i;
            while (j < window.size() && !IsSpace(window[j])) ++j;
            if (j - i > kMaxToken) Raise("a word of more than %zu characters", kMaxToken);
            if (j == window.size() && window.size() == want && want == kWindow && i > 0) {
                reader_.Skip(i);  // the word may go on past the window: look again from its start
                continue;
            }
            reader_.Skip(j);
            return window.substr(i, j - i);
        }
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
    float Number(const char* what) {
        std::string_view word = Required(what);
        float value = 0.0f;
        if (!ParseFloat(word, &value))
            Raise("%s is not a finite number: \"%s\"", what, Printable(word).c_str());
        return value;
    }
    bool NewLineBefore() const { return newLine_; }
    int Line() const { return line_; }

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
    BLOCKREADER& reader_;
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
    ReadMotionHead(tokens, reader.Remaining());
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
        segments_[i]->length = std::sqrt(tip.x * tip.x + tip.y * tip.y + tip.z * tip.z);
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
