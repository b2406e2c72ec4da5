#include "tools/assets/MotionLibrary.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

#include "tools/assets/AvatarModel.h"
#include "tools/assets/Grounding.h"
#include "tools/assets/Rotation.h"

namespace tavrel::assets {
namespace {

// ---- curves ----

// Eases from a at time t0 to b at t1, holding the ends.
using Key = std::pair<float, float>;
float Keys(std::initializer_list<Key> keys, float t) {
    const Key* k = keys.begin();
    if (t <= k->first) return k->second;
    for (; k + 1 != keys.end(); ++k) {
        if (t <= k[1].first) {
            const float u = (t - k->first) / (k[1].first - k->first);
            return k->second + (k[1].second - k->second) * (0.5f - 0.5f * std::cos(kPi * u));
        }
    }
    return k->second;
}

// Fraction of the cycle at time t.
float Cycle(float t, float period, float offset = 0.0f) {
    const float p = t / period + offset;
    return p - std::floor(p);
}

// A smooth bump of height 1 at centre of a cyclic phase, width on each side.
float Bump(float phase, float centre, float width) {
    float d = std::abs(phase - centre);
    d = std::min(d, 1.0f - d);
    return d >= width ? 0.0f : 0.5f + 0.5f * std::cos(kPi * d / width);
}

float Wave(float phase) {
    return std::cos(2 * kPi * phase);
}

// ---- the body's joints, by side ----

enum Side { kLeft, kRight };
constexpr Side kSides[] = {kLeft, kRight};

class Body {
public:
    explicit Body(PoseBuilder& b) : b_(b) {}

    // Legs. Flexion swings the thigh forward, bends the knee back, lifts the toes.
    void Hip(Side s, float flex) { b_.Turn(s == kLeft ? kLThigh : kRThigh, kX, -flex); }
    void HipOut(Side s, float deg) { b_.Turn(s == kLeft ? kLThigh : kRThigh, kY, Mirror(s, -deg)); }
    void Knee(Side s, float flex) { b_.Turn(s == kLeft ? kLLowLeg : kRLowLeg, kX, flex); }
    void Ankle(Side s, float lift) { b_.Turn(s == kLeft ? kLFoot : kRFoot, kX, -lift); }
    void FootRoll(Side s, float deg) { b_.Turn(s == kLeft ? kLFoot : kRFoot, kY, deg); }

    // Arms, from the rest pose's outstretched arms: down towards the thighs, round towards
    // the front, then (for a lowered arm) swung forward.
    void ArmDown(Side s, float deg) { b_.Turn(UpArm(s), kY, Mirror(s, deg)); }
    void ArmForward(Side s, float deg) { b_.Turn(UpArm(s), kZ, Mirror(s, -deg)); }
    void ArmSwing(Side s, float deg) { b_.Turn(UpArm(s), kX, -deg); }
    void ArmTilt(Side s, float deg) { b_.Turn(UpArm(s), kX, deg); }  // lowers a forward arm
    void Elbow(Side s, float flex) { b_.Turn(LowArm(s), kZ, Mirror(s, -flex)); }
    void ElbowUp(Side s, float deg) { b_.Turn(LowArm(s), kY, Mirror(s, -deg)); }
    void ForearmTwist(Side s, float deg) { b_.Turn(LowArm(s), kX, deg); }

    // Trunk and head: bend forward (negative: back), turn to the figure's left.
    void Bend(int segment, float deg) { b_.Turn(segment, kX, deg); }
    void TurnLeft(int segment, float deg) { b_.Turn(segment, kZ, deg); }

    // Arms hanging loosely at the sides.
    void RelaxedArms(float weight = 1.0f) {
        for (Side s : kSides) {
            ArmDown(s, 80.0f * weight);
            Elbow(s, 12.0f * weight);
        }
    }
    // Ankle angle that keeps the sole flat for a trunk bent by lean with hip and knee flexed.
    static float FlatFoot(float lean, float hip, float knee) { return lean - hip + knee; }

private:
    static float Mirror(Side s, float deg) { return s == kLeft ? deg : -deg; }
    static int UpArm(Side s) { return s == kLeft ? kLUpArm : kRUpArm; }
    static int LowArm(Side s) { return s == kLeft ? kLLowArm : kRLowArm; }

    PoseBuilder& b_;
};

// ---- the motions ----

void Idle(float t, PoseBuilder& b, float*) {
    Body body(b);
    const float breath = std::sin(2 * kPi * t / 2.0f);
    const float shift = 2.0f * std::sin(2 * kPi * t / 4.0f);  // weight from foot to foot
    for (Side s : kSides) {
        body.HipOut(s, s == kLeft ? -shift : shift);
        body.FootRoll(s, -shift);
        body.ArmDown(s, 80.0f + 1.5f * breath);
        body.Elbow(s, 12.0f);
    }
    body.Bend(kUpperTorso, -1.5f * breath);
    body.TurnLeft(kHead, Keys({{0, 0}, {1.0f, 0}, {1.6f, 22}, {2.4f, 22}, {3.0f, 0}}, t));
    body.Bend(kHead, 4.0f);
}

void Walk(float t, PoseBuilder& b, float*) {
    Body body(b);
    constexpr float kPeriod = 1.1f;
    for (Side s : kSides) {
        const float p = Cycle(t, kPeriod, s == kLeft ? 0.0f : 0.5f);
        const float hip = 8.0f + 20.0f * Wave(p);
        const float knee = 6.0f + 58.0f * Bump(p, 0.72f, 0.24f) + 12.0f * Bump(p, 0.12f, 0.12f);
        body.Hip(s, hip);
        body.Knee(s, knee);
        body.Ankle(s, 6.0f * Bump(p, 0.35f, 0.2f) - 14.0f * Bump(p, 0.6f, 0.1f) +
                          8.0f * Bump(p, 0.85f, 0.12f));
        body.ArmDown(s, 80.0f);
        body.ArmSwing(s, -16.0f * Wave(p));
        body.Elbow(s, 14.0f + 10.0f * std::max(0.0f, -Wave(p)));
    }
    body.Bend(kUpperTorso, 3.0f);
    body.TurnLeft(kUpperTorso, 5.0f * Wave(Cycle(t, kPeriod)));
}

void Run(float t, PoseBuilder& b, float* lift) {
    Body body(b);
    constexpr float kPeriod = 0.72f;
    for (Side s : kSides) {
        const float p = Cycle(t, kPeriod, s == kLeft ? 0.0f : 0.5f);
        body.Hip(s, 14.0f + 32.0f * Wave(p));
        body.Knee(s, 22.0f + 85.0f * Bump(p, 0.72f, 0.28f) + 18.0f * Bump(p, 0.12f, 0.12f));
        body.Ankle(s, 10.0f * Bump(p, 0.3f, 0.15f) - 22.0f * Bump(p, 0.5f, 0.1f));
        body.ArmDown(s, 72.0f);
        body.ArmSwing(s, 10.0f - 35.0f * Wave(p));
        body.Elbow(s, 88.0f);
    }
    body.Bend(kUpperTorso, 12.0f);
    body.Bend(kNeck, -8.0f);
    body.TurnLeft(kUpperTorso, 8.0f * Wave(Cycle(t, kPeriod)));
    // Both feet leave the floor in the second part of every step.
    const float q = Cycle(t, kPeriod / 2);
    *lift = q > 0.42f ? 50.0f * std::sin(kPi * (q - 0.42f) / 0.58f) : 0.0f;
}

void Jump(float t, PoseBuilder& b, float* lift) {
    Body body(b);
    const float crouch =
        Keys({{0.5f, 0}, {0.95f, 1}, {1.12f, 0}, {1.72f, 0.1f}, {1.92f, 0.8f}, {2.6f, 0}}, t);
    const float push = Keys({{0.95f, 0}, {1.1f, 1}, {1.3f, 0.6f}, {1.7f, 0.3f}, {1.8f, 0}}, t);
    const float swing =
        Keys({{0.5f, 0}, {0.95f, -45}, {1.15f, 165}, {1.5f, 150}, {1.95f, 25}, {2.7f, 0}}, t);
    const float hip = 70.0f * crouch, knee = 100.0f * crouch;
    for (Side s : kSides) {
        body.Hip(s, hip);
        body.Knee(s, knee);
        body.Ankle(s, Body::FlatFoot(0, hip, knee) - 40.0f * push);
        body.ArmDown(s, 80.0f);
        body.ArmSwing(s, swing);
        body.Elbow(s, 15.0f);
    }
    body.Bend(kUpperTorso, 30.0f * crouch);
    body.Bend(kNeck, -15.0f * crouch);
    constexpr float kTakeOff = 1.12f, kFlight = 0.6f, kHeight = 343.0f;  // mm
    const float u = (t - kTakeOff) / kFlight;
    *lift = u > 0 && u < 1 ? 4.0f * kHeight * u * (1 - u) : 0.0f;
}

void WaveHand(float t, PoseBuilder& b, float*) {
    Body body(b);
    const float up = Keys({{0, 0}, {0.7f, 1}, {3.3f, 1}, {4.0f, 0}}, t);
    body.ArmDown(kLeft, 80.0f);
    body.Elbow(kLeft, 12.0f);
    body.ArmDown(kRight, 80.0f - 100.0f * up);
    body.ArmForward(kRight, 20.0f * up);
    body.Elbow(kRight, 12.0f * (1 - up));
    body.ElbowUp(kRight, (75.0f + 24.0f * std::sin(2 * kPi * 2.2f * t)) * up);
    body.TurnLeft(kHead, -10.0f * up);
    body.TurnLeft(kUpperTorso, -6.0f * up);
}

void Bow(float t, PoseBuilder& b, float*) {
    Body body(b);
    const float bow = Keys({{0.8f, 0}, {1.7f, 1}, {2.6f, 1}, {3.4f, 0}}, t);
    body.Bend(kLowerTorso, 35.0f * bow);
    for (Side s : kSides) body.Hip(s, 35.0f * bow);
    body.Bend(kUpperTorso, 15.0f * bow);
    body.Bend(kNeck, 8.0f * bow);
    body.Bend(kHead, 6.0f * bow);
    body.RelaxedArms();
    for (Side s : kSides) body.ArmSwing(s, 20.0f * bow);
}

void Kick(float t, PoseBuilder& b, float*) {
    Body body(b);
    const float guard = Keys({{0, 0}, {0.4f, 1}, {2.4f, 1}, {3.0f, 0}}, t);
    const float hip =
        Keys({{0.5f, 0}, {0.9f, 70}, {1.1f, 88}, {1.35f, 88}, {1.65f, 65}, {2.15f, 0}}, t);
    const float knee =
        Keys({{0.5f, 0}, {0.9f, 95}, {1.1f, 8}, {1.35f, 8}, {1.65f, 90}, {2.15f, 0}}, t);
    const float point = Keys({{0.8f, 0}, {1.1f, 25}, {1.4f, 25}, {1.8f, 0}}, t);
    body.Hip(kRight, hip);
    body.Knee(kRight, knee);
    body.Ankle(kRight, -point);
    const float support = 12.0f * guard;
    body.Hip(kLeft, 8.0f * guard);
    body.Knee(kLeft, support);
    body.Ankle(kLeft, Body::FlatFoot(0, 8.0f * guard, support));
    body.Bend(kUpperTorso, -14.0f * hip / 88.0f);
    for (Side s : kSides) {
        body.ArmDown(s, 80.0f - 25.0f * guard);
        body.ArmSwing(s, 35.0f * guard);
        body.Elbow(s, 12.0f + 85.0f * guard);
    }
}

void Turn(float t, PoseBuilder& b, float*) {
    Body body(b);
    body.TurnLeft(kLowerTorso, Keys({{0.5f, 0}, {3.5f, 180}}, t));
    // Six small steps, left foot first, while turning.
    constexpr float kStart = 0.5f, kStep = 0.5f;
    const int step = static_cast<int>(std::floor((t - kStart) / kStep));
    if (t > kStart && step < 6) {
        const Side s = step % 2 == 0 ? kLeft : kRight;
        const float up = std::sin(kPi * (t - kStart - step * kStep) / kStep);
        body.Hip(s, 25.0f * up);
        body.Knee(s, 45.0f * up);
        body.Ankle(s, Body::FlatFoot(0, 25.0f * up, 45.0f * up));
    }
    body.TurnLeft(kHead, Keys({{0.3f, 0}, {0.8f, 25}, {3.2f, 25}, {3.8f, 0}}, t));
    body.RelaxedArms();
}

void Squat(float t, PoseBuilder& b, float*) {
    Body body(b);
    const float s = Keys(
        {{0.3f, 0}, {1.0f, 1}, {1.3f, 1}, {2.0f, 0}, {2.3f, 0}, {3.0f, 1}, {3.3f, 1}, {3.95f, 0}},
        t);
    const float lean = 30.0f * s, hip = 125.0f * s, knee = 120.0f * s;
    body.Bend(kLowerTorso, lean);
    for (Side side : kSides) {
        body.Hip(side, hip);
        body.Knee(side, knee);
        body.Ankle(side, Body::FlatFoot(lean, hip, knee));
        body.ArmDown(side, 80.0f);
        body.ArmSwing(side, 120.0f * s);
        body.Elbow(side, 12.0f * (1 - s));
    }
    body.Bend(kNeck, -22.0f * s);
}

void Clap(float t, PoseBuilder& b, float*) {
    Body body(b);
    const float up = Keys({{0, 0}, {0.5f, 1}, {2.5f, 1}, {3.0f, 0}}, t);
    const float open = t < 0.5f ? 1.0f : 0.5f + 0.5f * std::cos(2 * kPi * 2.2f * (t - 0.5f));
    for (Side s : kSides) {
        body.ArmDown(s, 80.0f * (1 - up));
        body.ArmForward(s, (88.0f - 16.0f * open) * up);
        body.ArmTilt(s, 22.0f * up);
        body.ForearmTwist(s, -90.0f * up);
        body.Elbow(s, 12.0f + 13.0f * up);
    }
}

void Punch(float t, PoseBuilder& b, float*) {
    Body body(b);
    const float guard = Keys({{0, 0}, {0.4f, 1}, {2.5f, 1}, {3.0f, 0}}, t);
    const float right =
        Keys({{0.6f, 0}, {0.75f, 1}, {0.95f, 0}, {1.8f, 0}, {1.95f, 1}, {2.15f, 0}}, t);
    const float left = Keys({{1.15f, 0}, {1.3f, 1}, {1.5f, 0}}, t);
    for (Side s : kSides) {
        const float e = s == kLeft ? left : right;
        body.ArmDown(s, 80.0f);
        body.ArmSwing(s, guard * (35.0f + 55.0f * e));
        body.ForearmTwist(s, -70.0f * guard);
        body.Elbow(s, 12.0f * (1 - guard) + guard * 130.0f * (1 - e));
        const float hip = 10.0f * guard, knee = 18.0f * guard;
        body.Hip(s, hip);
        body.Knee(s, knee);
        body.Ankle(s, Body::FlatFoot(0, hip, knee));
    }
    body.TurnLeft(kUpperTorso, guard * 22.0f * (right - left));
    body.Bend(kUpperTorso, 6.0f * guard);
    body.Bend(kNeck, -4.0f * guard);
}

// Down into a squat, back onto the seat with the knees up, then the legs stretched out.
void SitDown(float t, PoseBuilder& b, float*) {
    Body body(b);
    const float lean = Keys({{0.5f, 0}, {1.6f, 25}, {2.5f, -10}}, t);
    const float hip = Keys({{0.5f, 0}, {1.6f, 120}, {3.3f, 120}, {4.3f, 82}}, t);
    const float knee = Keys({{0.5f, 0}, {1.6f, 135}, {2.5f, 64}, {3.3f, 64}, {4.3f, 2}}, t);
    const float flat = Keys({{3.3f, 1}, {4.3f, 0}}, t);  // feet on the floor until the legs stretch
    const float arms = Keys({{0.5f, 0}, {1.6f, 40}, {2.4f, -40}}, t);
    body.Bend(kLowerTorso, lean);
    for (Side s : kSides) {
        body.Hip(s, hip);
        body.Knee(s, knee);
        body.Ankle(s, Body::FlatFoot(lean, hip, knee) * flat);
        body.ArmDown(s, 80.0f);
        body.ArmSwing(s, arms);
        body.Elbow(s, 12.0f);
    }
    body.Bend(kNeck, -0.5f * std::max(lean, 0.0f));
}

// ---- setting the motion on the floor ----

struct Placed {
    SkeletonMatrices local;
    Contacts contacts;
};

Placed Place(const PoseBuilder& b, rkVector drift, float lift, bool seated, int* lowest) {
    PoseBuilder moved = b;
    moved.Move(drift);
    Placed p;
    p.local = moved.Locals();
    p.contacts = ContactsOf(WorldsOf(p.local));
    *lowest = LowestContact(p.contacts, seated);
    const float rise = kGroundZ + kSoleClearance - p.contacts.point[*lowest].z + lift;
    moved.Move({0, 0, rise});
    p.local = moved.Locals();
    p.contacts = ContactsOf(WorldsOf(p.local));
    return p;
}

// Bakes the frames; in planted grounding the lowest contact of each frame stays where it
// was in the frame before, so the body moves by rolling over its feet.
// travel, when asked, gets the distance the steps carried the figure and stance the number
// of frames it stood on the floor.
std::vector<SkeletonMatrices> Bake(const MotionRecipe& recipe, Grounding grounding, rkVector step,
                                   rkVector* travel, int* stance = nullptr) {
    const int frames = static_cast<int>(std::lround(recipe.seconds * kMotionFrameRate));
    std::vector<SkeletonMatrices> out;
    rkVector drift{0, 0, 0};
    Contacts previous{};
    for (int f = 0; f < frames; ++f) {
        const float t = static_cast<float>(f) / kMotionFrameRate;
        PoseBuilder b;
        float lift = 0;
        recipe.pose(t, b, &lift);
        if (grounding == Grounding::kSteady) drift = step * static_cast<float>(f);
        int lowest = 0;
        Placed p = Place(b, drift, lift, recipe.seated, &lowest);
        if (grounding == Grounding::kPlanted && f > 0 && lift == 0) {
            const rkVector slip = previous.point[lowest] - p.contacts.point[lowest];
            drift = drift + rkVector{slip.x, slip.y, 0};
            p = Place(b, drift, lift, recipe.seated, &lowest);
            if (stance) ++*stance;
        }
        previous = p.contacts;
        out.push_back(p.local);
    }
    if (travel) *travel = drift;
    return out;
}

}  // namespace

std::vector<MotionRecipe> MotionLibrary() {
    using G = Grounding;
    return {
        {"Locomotion", "walk", "cha", 3.3f, G::kPlanted, false, Walk},
        {"Locomotion", "run", "chb", 2.88f, G::kSteady, false, Run},
        {"Locomotion", "turn", "chb", 4.0f, G::kPlanted, false, Turn},
        {"Sports", "jump", "htr", 3.0f, G::kInPlace, false, Jump},
        {"Sports", "kick", "htr", 3.0f, G::kPlanted, false, Kick},
        {"Sports", "punch", "chb", 3.0f, G::kPlanted, false, Punch},
        {"Sports", "squat", "htr", 4.0f, G::kPlanted, false, Squat},
        {"Gestures", "wave", "cha", 4.0f, G::kPlanted, false, WaveHand},
        {"Gestures", "bow", "chb", 4.0f, G::kPlanted, false, Bow},
        {"Gestures", "clap", "cha", 3.0f, G::kPlanted, false, Clap},
        {"Everyday", "idle", "cha", 4.0f, G::kPlanted, false, Idle},
        {"Everyday", "sitdown", "htr", 5.0f, G::kPlanted, true, SitDown},
    };
}

std::vector<SkeletonMatrices> BakeMotion(const MotionRecipe& recipe) {
    if (recipe.grounding != Grounding::kSteady) return Bake(recipe, recipe.grounding, {}, nullptr);
    // Running keeps an even pace: the speed of the feet on the floor, kept through the flight.
    rkVector travel{0, 0, 0};
    int stance = 0;
    Bake(recipe, Grounding::kPlanted, {}, &travel, &stance);
    return Bake(recipe, Grounding::kSteady, travel * (1.0f / std::max(stance, 1)), nullptr);
}

}  // namespace tavrel::assets
