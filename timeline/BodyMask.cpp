#include "timeline/BodyMask.h"

#include <array>
#include <cstring>

namespace tavrel {
namespace {

constexpr SegmentMask Bits(std::initializer_list<int> segments) {
    SegmentMask mask = 0;
    for (int s : segments) mask |= SegmentBit(s);
    return mask;
}

constexpr SegmentMask kLeftArm = Bits({kLCollar, kLUpArm, kLLowArm, kLHand});
constexpr SegmentMask kRightArm = Bits({kRCollar, kRUpArm, kRLowArm, kRHand});
constexpr SegmentMask kLeftLeg = Bits({kLPelvis, kLThigh, kLLowLeg, kLFoot});
constexpr SegmentMask kRightLeg = Bits({kRPelvis, kRThigh, kRLowLeg, kRFoot});
constexpr SegmentMask kHeadAndNeck = Bits({kNeck, kHead});

}  // namespace

const BodyMaskPreset kBodyMaskPresets[8] = {
    {"whole", kWholeBodyMask},
    // The root carries the legs, so it belongs below the waist.
    {"upper", SegmentBit(kUpperTorso) | kLeftArm | kRightArm | kHeadAndNeck},
    {"lower", SegmentBit(kLowerTorso) | kLeftLeg | kRightLeg},
    {"leftarm", kLeftArm},
    {"rightarm", kRightArm},
    {"leftleg", kLeftLeg},
    {"rightleg", kRightLeg},
    {"head", kHeadAndNeck},
};

int SegmentIndexOf(std::string_view name) {
    // Asked for every node of every layer's poses each frame: the lengths sort most names out.
    static const auto lengths = [] {
        std::array<size_t, kStandardSegmentCount> n{};
        for (int i = 0; i < kStandardSegmentCount; ++i)
            n[i] = std::strlen(kStandardSkeleton[i].name);
        return n;
    }();
    for (int i = 0; i < kStandardSegmentCount; ++i) {
        if (lengths[i] == name.size() && name == kStandardSkeleton[i].name) return i;
    }
    return -1;
}

std::string MaskText(SegmentMask mask) {
    for (const BodyMaskPreset& preset : kBodyMaskPresets) {
        if (preset.mask == mask) return preset.name;
    }
    std::string text;
    for (int i = 0; i < kStandardSegmentCount; ++i) {
        if (mask & SegmentBit(i))
            text += (text.empty() ? "" : "+") + std::string(kStandardSkeleton[i].name);
    }
    return text;
}

std::optional<SegmentMask> ParseMask(std::string_view text) {
    for (const BodyMaskPreset& preset : kBodyMaskPresets) {
        if (text == preset.name) return preset.mask;
    }
    SegmentMask mask = 0;
    while (!text.empty()) {
        const size_t plus = text.find('+');
        const int segment = SegmentIndexOf(text.substr(0, plus));
        if (segment < 0) return std::nullopt;
        mask |= SegmentBit(segment);
        text = plus == std::string_view::npos ? std::string_view() : text.substr(plus + 1);
    }
    if (mask == 0) return std::nullopt;
    return mask;
}

}  // namespace tavrel
