#include "motion/RepeatCycle.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "motion/Chtr.h"
#include "motion/Legs.h"
#include "motion/NodeOrder.h"
#include "motion/QuatSpline.h"

namespace tavrel {
namespace {

constexpr Quat kNoTurn{1, 0, 0, 0};

rkVector Turned(const rkVector& v, float heading) {
    const float c = std::cos(heading), s = std::sin(heading);
    return {v.x * c - v.y * s, v.x * s + v.y * c, v.z};
}

// The root's place one frame after the last, at the pace and turn of the last step.
GroundPlace PlaceAfterLast(const rkNode* beforeLast, const rkNode* last) {
    const GroundPlace a = RootPlaceOf(beforeLast), b = RootPlaceOf(last);
    const rkVector step = Turned({b.x - a.x, b.y - a.y, 0}, -a.heading);
    const rkVector ahead = Turned(step, b.heading);
    return {b.x + ahead.x, b.y + ahead.y, b.heading + (b.heading - a.heading)};
}

// A foot planted across the seam stays where the earlier repeat put it: the next repeat is
// shifted along the floor by what that foot would slide.
void KeepPlantedFoot(const FootContacts& contacts, int count, rkNode* first, rkNode* last,
                     GroundPlace& next) {
    const Legs firstLegs = FindLegs(first), lastLegs = FindLegs(last);
    rkVector slide{0, 0, 0};
    int planted = 0;
    for (int side : {kLeftFoot, kRightFoot}) {
        if (!contacts.PlantAt(side, count - 1) || !contacts.PlantAt(side, 0)) continue;
        if (!firstLegs[side].Valid() || !lastLegs[side].Valid()) continue;
        const rkVector from = PlacePoint(rkOrigin(WorldOf(firstLegs[side].foot)), next);
        slide = slide + (rkOrigin(WorldOf(lastLegs[side].foot)) - from);
        ++planted;
    }
    if (!planted) return;
    next.x += slide.x / float(planted);
    next.y += slide.y / float(planted);
}

Quat TurnBetween(const Quat& from, const Quat& to) {
    return QuatNormalized(QuatMultiply(to, QuatConjugate(from)));
}

// Moves a pose part of the way across the seam's jump: weight 1 the whole jump forward, -1 the
// whole jump back. `shift` is the root's jump in this pose's own frame.
void Ease(rkNode* pose, const CycleSeam& seam, const rkVector& shift, float weight) {
    const std::vector<rkNode*> nodes = PreOrderNodes(pose);
    for (size_t i = 0; i < nodes.size() && i < seam.turn.size(); ++i) {
        const Quat jump = weight < 0 ? QuatConjugate(seam.turn[i]) : seam.turn[i];
        const Quat part = Slerp(kNoTurn, jump, std::fabs(weight));
        rkMatrix& m = nodes[i]->local;
        const rkVector origin = rkOrigin(m);
        QuatToMatrix(QuatMultiply(part, MatrixToQuat(m)), &m);
        m.m[12] = origin.x, m.m[13] = origin.y, m.m[14] = origin.z;
        nodes[i]->flags |= RK_NODE_CHANGED;
    }
    const rkVector moved = shift * weight;
    rkTranslateNode(pose, moved.x, moved.y, moved.z);
}

// The seam's weight j frames from it (0 at the seam's own frame): half the jump there, none
// at blendFrames, easing smoothly between.
float SeamWeight(int j, int blendFrames) {
    const float t = std::min(1.0f, (float(j) + 0.5f) / float(blendFrames));
    return 0.5f * (1.0f - t * t * (3.0f - 2.0f * t));
}

std::unique_ptr<CHTR> PoseCopy(const PoseAt& poseAt, int i) {
    const rkNode* pose = poseAt(i);
    return pose ? std::make_unique<CHTR>(rkCloneNode(pose)) : nullptr;
}

}  // namespace

CycleSeam FindCycleSeam(int count, const PoseAt& poseAt, const FootContacts& contacts,
                        int blendFrames) {
    CycleSeam seam;
    seam.blendFrames = std::clamp(blendFrames, 1, std::max(1, count / 2));
    const auto first = PoseCopy(poseAt, 0), beforeLast = PoseCopy(poseAt, count - 2);
    const auto last = PoseCopy(poseAt, count - 1);
    if (!first || !beforeLast || !last) return seam;
    seam.next = ContinuingPlace(RootPlaceOf(first->GetRoot()),
                                PlaceAfterLast(beforeLast->GetRoot(), last->GetRoot()));
    KeepPlantedFoot(contacts, count, first->GetRoot(), last->GetRoot(), seam.next);

    // The next repeat's first pose against where the last step would have gone.
    PlacePose(first->GetRoot(), seam.next);
    const std::vector<rkNode*> a = PreOrderNodes(beforeLast->GetRoot());
    const std::vector<rkNode*> b = PreOrderNodes(last->GetRoot());
    const std::vector<rkNode*> c = PreOrderNodes(first->GetRoot());
    for (size_t i = 0; i < b.size() && i < a.size() && i < c.size(); ++i) {
        const Quat end = MatrixToQuat(b[i]->local);
        const Quat step = TurnBetween(MatrixToQuat(a[i]->local), end);
        const Quat expected = QuatMultiply(step, end);
        seam.turn.push_back(TurnBetween(expected, MatrixToQuat(c[i]->local)));
    }
    const rkVector end = rkOrigin(b[0]->local);
    const rkVector expected = end + (end - rkOrigin(a[0]->local));
    seam.shift = rkOrigin(c[0]->local) - expected;
    return seam;
}

CCycleRepeat::CCycleRepeat(int count, PoseAt poseAt, const FootContacts& contacts, int times,
                           int blendFrames)
    : count_(count), times_(times), poseAt_(std::move(poseAt)) {
    if (count < 2 || times < RepeatLimits::kFewest || times > RepeatLimits::kMost) return;
    seam_ = FindCycleSeam(count, poseAt_, contacts, blendFrames);
    work_ = PoseCopy(poseAt_, 0);
    shiftAfter_ = Turned(seam_.shift, -seam_.next.heading);
    ready_ = !seam_.turn.empty() && work_;
}

CCycleRepeat::~CCycleRepeat() = default;

const rkNode* CCycleRepeat::Next() {
    if (!ready_ || next_ >= Frames()) return nullptr;
    const int k = next_ / count_, i = next_ % count_;
    const rkNode* pose = poseAt_(i);
    if (!pose) return nullptr;
    ++next_;
    rkNode* work = work_->GetRoot();
    CHTR::CopyLocals(pose, work);  // one motion: one shape
    const int toEnd = count_ - 1 - i;
    if (k + 1 < times_ && toEnd < seam_.blendFrames)
        Ease(work, seam_, seam_.shift, SeamWeight(toEnd, seam_.blendFrames));
    if (k > 0 && i < seam_.blendFrames)
        Ease(work, seam_, shiftAfter_, -SeamWeight(i, seam_.blendFrames));
    PlacePose(work, place_);
    if (i == count_ - 1) place_ = PlaceOnPlace(seam_.next, place_);
    return work;
}

bool RepeatCycle(int count, const PoseAt& poseAt, const FootContacts& contacts, int times,
                 int blendFrames, const PoseSink& store) {
    CCycleRepeat repeat(count, poseAt, contacts, times, blendFrames);
    if (!repeat.Ready()) return false;
    for (int frame = 0; frame < repeat.Frames(); ++frame) {
        const rkNode* pose = repeat.Next();
        if (!pose || !store(frame, pose)) return false;
    }
    return true;
}

}  // namespace tavrel
