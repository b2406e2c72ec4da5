#include "timeline/LayerSection.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "timeline/MotionClip.h"

namespace tavrel {
namespace {

using Fields = std::vector<std::string>;

std::string Line(const Fields& fields) {
    std::string line;
    for (const std::string& field : fields) line += (line.empty() ? "" : ",") + field;
    return line + "\n";
}

// Shortest text that reads back as the same float, whatever the locale.
std::string FloatText(float value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

template <typename T>
std::optional<T> Number(const std::string& text) {
    T value{};
    const auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) return std::nullopt;
    }
    return value;
}

char KindLetter(const LayerClip& clip) {
    if (clip.IsKeyClip()) return 'K';
    return clip.mode == LayerMode::kOverride ? 'O' : 'A';
}

// Reads the section line by line; each failure names what was wrong.
class SectionParser {
public:
    SectionParser(const CLayerSection::LineSource& next, std::string* reason)
        : next_(next), reason_(reason) {}

    std::optional<CLayerStack> Parse() {
        const auto head = Fields_(2);
        if (!head || (*head)[0] != CLayerSection::kTag) return Fail("no layer section header");
        const auto tracks = Count((*head)[1], kMaxLayers);
        if (!tracks) return Fail("a count of layers beyond " + std::to_string(kMaxLayers));
        CLayerStack stack;
        for (int t = 0; t < *tracks; ++t) {
            auto track = Track();
            if (!track) return std::nullopt;
            stack.tracks.push_back(std::move(*track));
        }
        return stack;
    }

private:
    std::optional<Fields> Fields_(size_t count) {
        const auto line = next_();
        if (!line) {
            Fail("the section ends early");
            return std::nullopt;
        }
        std::string text = *line;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        Fields fields = SplitAtCommas(text);
        if (fields.size() != count ||
            std::any_of(fields.begin(), fields.end(), [](const auto& f) { return f.empty(); })) {
            Fail("a line of " + std::to_string(fields.size()) + " fields where " +
                 std::to_string(count) + " belong: \"" + text.substr(0, 40) + "\"");
            return std::nullopt;
        }
        return fields;
    }

    static std::optional<int> Count(const std::string& text, int most) {
        const auto n = Number<int>(text);
        if (!n || *n < 0 || *n > most) return std::nullopt;
        return n;
    }

    std::optional<LayerTrack> Track() {
        const auto head = Fields_(2);
        if (!head) return std::nullopt;
        const auto clips = Count((*head)[1], kMaxFrame + 1);
        if ((*head)[0] != "T" || !clips) return Fail<LayerTrack>("a bad layer line");
        LayerTrack track;
        for (int c = 0; c < *clips; ++c) {
            auto clip = Clip();
            if (!clip) return std::nullopt;
            if (!track.IsFree(clip->firstFrame, clip->lastFrame))
                return Fail<LayerTrack>("two clips of a layer share frames");
            track.clips.push_back(std::move(*clip));
        }
        std::sort(track.clips.begin(), track.clips.end(),
                  [](const auto& a, const auto& b) { return a.firstFrame < b.firstFrame; });
        return track;
    }

    std::optional<LayerClip> Clip() {
        const auto f = Fields_(11);
        if (!f) return std::nullopt;
        const std::string& kind = (*f)[1];
        const auto first = Number<int>((*f)[2]), last = Number<int>((*f)[3]);
        const auto weight = Number<float>((*f)[4]);
        const auto easeIn = Number<int>((*f)[5]), easeOut = Number<int>((*f)[6]);
        const auto curve = Number<int>((*f)[7]);
        const auto mask = ParseMask((*f)[8]);
        const auto keys = Count((*f)[10], kMaxFrame * kStandardSegmentCount);
        if ((*f)[0] != "C" || (kind != "A" && kind != "O" && kind != "K"))
            return Fail<LayerClip>("a bad clip line");
        if (!first || !last || *first < 0 || *last > kMaxFrame || *last < *first)
            return Fail<LayerClip>("a clip's frames lie outside the timeline");
        if (!weight || *weight < 0.0f || *weight > 1.0f)
            return Fail<LayerClip>("a clip's weight lies outside 0 to 1");
        const int length = *last - *first + 1;
        if (!easeIn || !easeOut || *easeIn < 0 || *easeOut < 0 || *easeIn > length ||
            *easeOut > length || !curve || *curve < 0 || *curve >= int(kCurveCount))
            return Fail<LayerClip>("a clip's eases are out of range");
        if (!mask) return Fail<LayerClip>("a body mask names no segment: " + (*f)[8]);
        if (!keys || (kind == "K") != ((*f)[9] == "*") || (kind != "K" && *keys != 0))
            return Fail<LayerClip>("a clip's motion or keys are bad");
        LayerClip clip;
        clip.fileName = kind == "K" ? "" : (*f)[9];
        clip.firstFrame = *first, clip.lastFrame = *last;
        clip.mode = kind == "O" ? LayerMode::kOverride : LayerMode::kAdditive;
        clip.weight = *weight;
        clip.easeIn = *easeIn, clip.easeOut = *easeOut;
        clip.curve = CurveType(*curve);
        clip.mask = *mask;
        for (int k = 0; k < *keys; ++k) {
            auto key = Key(length);
            if (!key) return std::nullopt;
            clip.keys.push_back(*key);
        }
        std::sort(clip.keys.begin(), clip.keys.end(), [](const auto& a, const auto& b) {
            return a.segment != b.segment ? a.segment < b.segment : a.frame < b.frame;
        });
        for (size_t k = 1; k < clip.keys.size(); ++k) {
            if (clip.keys[k].segment == clip.keys[k - 1].segment &&
                clip.keys[k].frame == clip.keys[k - 1].frame)
                return Fail<LayerClip>("two keys of one segment at one frame");
        }
        return clip;
    }

    std::optional<SegmentKey> Key(int length) {
        const auto f = Fields_(7);
        if (!f) return std::nullopt;
        const int segment = SegmentIndexOf((*f)[1]);
        const auto frame = Number<int>((*f)[2]);
        std::optional<float> q[4];
        for (int i = 0; i < 4; ++i) q[i] = Number<float>((*f)[3 + i]);
        if ((*f)[0] != "K" || segment < 0) return Fail<SegmentKey>("a key names no segment");
        if (segment == kLowerTorso) return Fail<SegmentKey>("a key on the root");
        if (!frame || *frame < 0 || *frame >= length)
            return Fail<SegmentKey>("a key lies outside its clip");
        if (!q[0] || !q[1] || !q[2] || !q[3]) return Fail<SegmentKey>("a key's turn is no number");
        const Quat turn{*q[0], *q[1], *q[2], *q[3]};
        const float n = turn.w * turn.w + turn.x * turn.x + turn.y * turn.y + turn.z * turn.z;
        if (!(n > 1e-6f) || !std::isfinite(n)) return Fail<SegmentKey>("a key's turn is no turn");
        return SegmentKey{*frame, segment, turn};
    }

    template <typename T = CLayerStack>
    std::optional<T> Fail(const std::string& why) {
        if (reason_ && reason_->empty()) *reason_ = why;
        return std::nullopt;
    }

    const CLayerSection::LineSource& next_;
    std::string* reason_;
};

}  // namespace

std::vector<std::string> SplitAtCommas(std::string_view line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t comma; (comma = line.find(',', start)) != std::string_view::npos;
         start = comma + 1) {
        fields.emplace_back(line.substr(start, comma - start));
    }
    fields.emplace_back(line.substr(start));
    return fields;
}

std::string CLayerSection::Text(const CLayerStack& stack,
                                const std::function<std::string(const std::string&)>& nameOf) {
    if (stack.tracks.empty()) return {};
    auto n = [](long long v) { return std::to_string(v); };
    std::string text = Line({kTag, n(long(stack.tracks.size()))});
    for (const LayerTrack& track : stack.tracks) {
        text += Line({"T", n(long(track.clips.size()))});
        for (const LayerClip& c : track.clips) {
            const std::string file = c.IsKeyClip() ? "*" : nameOf(c.fileName);
            text += Line({"C", std::string(1, KindLetter(c)), n(c.firstFrame), n(c.lastFrame),
                          FloatText(c.weight), n(c.easeIn), n(c.easeOut), n(c.curve),
                          MaskText(c.mask), file, n(long(c.keys.size()))});
            for (const SegmentKey& k : c.keys) {
                text +=
                    Line({"K", kStandardSkeleton[k.segment].name, n(k.frame), FloatText(k.turn.w),
                          FloatText(k.turn.x), FloatText(k.turn.y), FloatText(k.turn.z)});
            }
        }
    }
    return text;
}

std::optional<CLayerStack> CLayerSection::Parse(const LineSource& nextLine, std::string* reason) {
    return SectionParser(nextLine, reason).Parse();
}

}  // namespace tavrel
