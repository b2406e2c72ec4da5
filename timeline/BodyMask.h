#pragma once
// Which body segments a layer clip reaches: a set of the standard skeleton's segments, one bit
// each, with the named parts of the body a user picks from.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "AnimRead/StandardSkeleton.h"

namespace tavrel {

using SegmentMask = uint32_t;  // bit i: segment i of the standard skeleton

constexpr SegmentMask SegmentBit(int segment) {
    return SegmentMask(1) << segment;
}
constexpr SegmentMask kWholeBodyMask = (SegmentMask(1) << kStandardSegmentCount) - 1;

struct BodyMaskPreset {
    const char* name;  // as project files store it
    SegmentMask mask;
};

// Whole body, upper body, lower body, left and right arm, left and right leg, head and neck.
extern const BodyMaskPreset kBodyMaskPresets[8];

// The standard segment of that name, or -1.
int SegmentIndexOf(std::string_view name);
// The preset's name when the mask is one, else the segments' names joined by '+'.
std::string MaskText(SegmentMask mask);
// The mask a text names (a preset or segments joined by '+'); none when it names an unknown
// segment or no segment at all.
std::optional<SegmentMask> ParseMask(std::string_view text);

}  // namespace tavrel
