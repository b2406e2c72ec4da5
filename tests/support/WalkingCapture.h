#pragma once
// A walk as a capture studio records it, on the 31-joint skeleton of CaptureLibrary.h
// (centimetres, y up, facing +z): each foot strikes with the heel, stands flat, rolls onto the
// ball and swings through, while the hips travel on at an even speed. The feet really stand
// still on the floor while planted, so a test knows where the plants are and how far each step
// goes. Capture noise is added to every turn.
#include <array>
#include <cmath>
#include <random>
#include <string>

#include "CaptureLibrary.h"

namespace tavrel::testing {

struct WalkingCaptureShape {
    double fps = 120;
    double seconds = 4;
    double step = 65;     // centimetres from one heel strike to the other foot's
    double period = 1.1;  // seconds of a stride (two steps)
    double noise = 0.25;  // degrees of jitter on every turn
    double slope = 0.6;   // degrees the capture's floor rises along the walk (a floor
                          // calibrated off level, or a ramp)
    unsigned seed = 1;
};

namespace walk_detail {

constexpr double kPi = 3.14159265358979323846;
constexpr double kThigh = 42, kShin = 40;         // CaptureLibrary's leg
constexpr double kBallY = 2, kBallForward = 12;   // the ball of the foot: 2 cm up, 12 ahead
constexpr double kAnkleOverBall = 5;              // the ankle stands 5 cm over the ball
constexpr double kHeelDown = 5.5, kHeelBack = 4;  // the heel under and behind the ankle
constexpr double kStance = 0.62, kFlat = 0.08, kHeelOff = 0.4;  // shares of a stride
constexpr double kStrikeTilt = 15, kToeOffTilt = 35;            // degrees of the foot
constexpr double kHipX = 9, kHipBelowRoot = 7;

inline double Smooth(double t) {
    t = std::fmin(std::fmax(t, 0.0), 1.0);
    return t * t * (3 - 2 * t);
}
inline double Radians(double d) {
    return d * kPi / 180;
}

struct Foot {
    double y, z, tilt;  // ankle height and place along the walk; toes-down tilt in degrees
};

// The ankle when the foot turns by `tilt` about the point (py, pz) it stands on, whose place
// relative to the ankle of the flat foot is (oy, oz).
inline Foot TurnedAbout(double py, double pz, double oy, double oz, double tilt) {
    const double c = std::cos(Radians(tilt)), s = std::sin(Radians(tilt));
    // A toes-down turn (positive about x) carries a point (y, z) to (y c - z s, y s + z c).
    const double ry = oy * c - oz * s, rz = oy * s + oz * c;
    return {py - ry, pz - rz, tilt};
}

// Where the ankle of a foot is at phase u (0 at its heel strike) of its stride, the strike
// `k` steps from the start putting the heel at z = plant.
inline Foot FootAt(double u, double plant, double stride) {
    const double flatAnkle = kBallY + kAnkleOverBall;
    const double heelY = flatAnkle - kHeelDown;
    const double ballZ = plant + kHeelBack + kBallForward;
    if (u < kFlat) {  // heel strike: the foot lowers onto its sole about the heel
        const double tilt = -kStrikeTilt * (1 - Smooth(u / kFlat));
        return TurnedAbout(heelY, plant, -kHeelDown, -kHeelBack, tilt);
    }
    if (u < kHeelOff) return {flatAnkle, plant + kHeelBack, 0};
    if (u < kStance) {  // heel off: the foot rolls onto its ball
        const double tilt = kToeOffTilt * Smooth((u - kHeelOff) / (kStance - kHeelOff));
        return TurnedAbout(kBallY, ballZ, kBallY - flatAnkle, kBallForward, tilt);
    }
    // Swing: from toe-off to the next strike a stride ahead, lifted in between.
    const Foot from = TurnedAbout(kBallY, ballZ, kBallY - flatAnkle, kBallForward, kToeOffTilt);
    const Foot to = TurnedAbout(heelY, plant + stride, -kHeelDown, -kHeelBack, -kStrikeTilt);
    const double s = (u - kStance) / (1 - kStance), e = Smooth(s);
    return {from.y + (to.y - from.y) * e + 6 * std::sin(kPi * s), from.z + (to.z - from.z) * e,
            from.tilt + (to.tilt - from.tilt) * e};
}

// Turns (degrees about x, each relative to its parent) of thigh, shin and foot that put the
// ankle at the foot's place below a hip at (hy, hz), the knee bending forward.
struct LegTurns {
    double thigh, shin, foot;
};
inline LegTurns SolveLeg(double hy, double hz, const Foot& foot) {
    const double dy = foot.y - hy, dz = foot.z - hz;
    const double r = std::fmin(std::hypot(dy, dz), (kThigh + kShin) * 0.999);
    const double down = std::atan2(dz, -dy);  // from straight down toward the front
    const double atHip = std::acos((kThigh * kThigh + r * r - kShin * kShin) / (2 * kThigh * r));
    const double atAnkle = std::acos((kShin * kShin + r * r - kThigh * kThigh) / (2 * kShin * r));
    const double thigh = down + atHip, shin = down - atAnkle;  // swung forward from straight down
    // Forward swings are negative turns about x; each turn is relative to the one above it.
    const double toDeg = 180 / kPi;
    return {-thigh * toDeg, -(shin - thigh) * toDeg, foot.tilt + shin * toDeg};
}

}  // namespace walk_detail

// Where a foot is in its stride at t seconds: 0 at its heel strike, the left striking at 0 and
// the right half a stride later. It stands from 0 to kStance, flat from kFlat to kHeelOff.
inline double FootPhase(const WalkingCaptureShape& shape, int side, double t) {
    const double cycle = t / shape.period + (side ? 0.5 : 0.0) + 1.0;
    return cycle - std::floor(cycle);
}

// The hips move by one step each half stride.
inline double WalkSpeed(const WalkingCaptureShape& shape) {
    return 2 * shape.step / shape.period;
}

inline std::string WalkingCaptureBvh(const WalkingCaptureShape& shape) {
    using namespace walk_detail;
    using capture_detail::Number;
    std::string out = "HIERARCHY\n";
    capture_detail::Hierarchy(out, 0, 0);
    const int frames = int(std::lround(shape.seconds * shape.fps));
    out += "MOTION\nFrames: " + std::to_string(frames) +
           "\nFrame Time: " + std::to_string(1.0 / shape.fps) + "\n";
    std::mt19937 random(shape.seed);
    std::normal_distribution<double> jitter(0.0, shape.noise);
    const double stride = 2 * shape.step, speed = WalkSpeed(shape);
    const double hipHeight = 0.88 * (kThigh + kShin) + kBallY + kAnkleOverBall;
    const size_t joints = capture_detail::Skeleton().size();
    const double rise = std::tan(Radians(shape.slope));
    for (int f = 0; f < frames; ++f) {
        const double t = f / shape.fps;
        const double rootZ = speed * t - 0.45 * shape.step;  // behind the striking heel
        const double rootY =
            hipHeight + kHipBelowRoot + 1.2 * std::cos(4 * kPi * t / shape.period) + rise * rootZ;
        std::array<LegTurns, 2> legs;
        for (int side = 0; side < 2; ++side) {
            const double u = FootPhase(shape, side, t);
            const double k = std::floor(t / shape.period + (side ? 0.5 : 0.0) + 1.0);
            const double plant = (k - 1) * stride - (side ? shape.step : 0.0);
            Foot foot = FootAt(u, plant, stride);
            foot.y += rise * foot.z;
            legs[side] = SolveLeg(rootY - kHipBelowRoot, rootZ, foot);
        }
        Number(out, 0), Number(out, rootY), Number(out, rootZ);
        Number(out, jitter(random)), Number(out, jitter(random)), Number(out, jitter(random));
        for (size_t j = 1; j < joints; ++j) {
            // Legs: up leg, leg and foot of each side (joints 2-4 left, 7-9 right).
            const int side = j >= 7 && j <= 9 ? 1 : 0;
            const size_t first = side ? 7 : 2;
            double x = 0;
            if ((j >= 2 && j <= 4) || (j >= 7 && j <= 9)) {
                const LegTurns& leg = legs[size_t(side)];
                x = j == first ? leg.thigh : j == first + 1 ? leg.shin : leg.foot;
            }
            Number(out, jitter(random)), Number(out, jitter(random)),
                Number(out, x + jitter(random));
        }
        out.back() = '\n';
    }
    return out;
}

}  // namespace tavrel::testing
