#include "timeline/ClipPlace.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavrel {
namespace {

constexpr int32_t kFullTurn = 36000;  // hundredths of a degree
constexpr int32_t kOwnPlace = 1, kFeetFree = 2, kOwnTiming = 4;
constexpr double kLongestShift = 1e9;

int32_t Rounded(double v) {
    return std::isfinite(v) ? int32_t(std::lround(std::clamp(v, -kLongestShift, kLongestShift)))
                            : 0;
}

}  // namespace

ClipPlace ClipPlaceOf(const std::array<int32_t, 3>& offset) {
    ClipPlace place;
    const int32_t turn = offset[2];
    const int32_t heading = ((turn % kFullTurn) + kFullTurn) % kFullTurn;
    const int32_t flags = turn >= 0 && turn < 8 * kFullTurn ? turn / kFullTurn : 0;
    place.ground = {float(offset[0]), float(offset[1]),
                    float(heading * std::numbers::pi / (kFullTurn / 2))};
    place.ownPlace = flags & kOwnPlace;
    place.feetFree = flags & kFeetFree;
    place.ownTiming = flags & kOwnTiming;
    return place;
}

std::array<int32_t, 3> OffsetOf(const ClipPlace& place) {
    const double degrees = double(place.ground.heading) * (kFullTurn / 2) / std::numbers::pi;
    int32_t heading =
        std::isfinite(degrees) ? int32_t(std::lround(std::fmod(degrees, kFullTurn))) : 0;
    heading = ((heading % kFullTurn) + kFullTurn) % kFullTurn;
    const int32_t flags = (place.ownPlace ? kOwnPlace : 0) | (place.feetFree ? kFeetFree : 0) |
                          (place.ownTiming ? kOwnTiming : 0);
    return {Rounded(place.ground.x), Rounded(place.ground.y), heading + flags * kFullTurn};
}

}  // namespace tavrel
