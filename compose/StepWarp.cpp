#include "compose/StepWarp.h"

#include <algorithm>
#include <cmath>

namespace tavrel {
namespace {

constexpr double kSlowest = 0.5, kFastest = 2.0;

// A foot coming down (the first frame of a plant) or lifting (the frame after its last).
struct Step {
    int side;
    bool down;
    double frame;  // the motion's own frame
};

// Each foot's steps whose frame, moved by `offset`, lies between from and to, in time order.
std::vector<Step> Steps(const FootContacts& contacts, double offset, double from, double to) {
    std::vector<Step> steps;
    const auto add = [&](int side, bool down, double frame) {
        if (offset + frame > from && offset + frame < to) steps.push_back({side, down, frame});
    };
    for (int side = 0; side < 2; ++side) {
        for (const FootPlant& p : contacts.Plants(side)) {
            add(side, true, p.first);
            add(side, false, p.last + 1);
        }
    }
    std::sort(steps.begin(), steps.end(),
              [](const Step& x, const Step& y) { return x.frame < y.frame; });
    return steps;
}

bool Reachable(const CStepWarp::Anchor& from, const CStepWarp::Anchor& to) {
    const double frames = to.frame - from.frame, local = to.local - from.local;
    return frames > 0.0 && local >= kSlowest * frames && local <= kFastest * frames;
}

bool Walks(const FootContacts& contacts) {
    return !contacts.Plants(0).empty() && !contacts.Plants(1).empty();
}

}  // namespace

CStepWarp CStepWarp::InStep(const FootContacts& a, const FootContacts& b, const FadeSpan& fade,
                            std::string* why) {
    const auto none = [why](const char* reason) {
        if (why) *why = reason;
        return CStepWarp();
    };
    const bool overlap = fade.first >= fade.bFirst && fade.last <= fade.aLast &&
                         fade.first >= fade.aFirst && fade.last - fade.first >= 3;
    if (!overlap) return none("the blend is no overlap of the two clips");
    if (!Walks(a) || !Walks(b)) return none("a clip does not plant both feet");
    const Anchor start{double(fade.first), double(fade.first - fade.bFirst)};
    const Anchor end{double(fade.last), double(fade.last - fade.bFirst)};
    std::vector<Anchor> anchors = {start};
    const std::vector<Step> stepsB = Steps(b, 0.0, -1.0, double(b.FrameCount()));
    for (const Step& step : Steps(a, fade.aFirst, fade.first, fade.last)) {
        const double frame = fade.aFirst + step.frame;
        // B's like step of the same foot nearest in time that the warp can reach on its way.
        const Anchor* best = nullptr;
        Anchor candidate{}, chosen{};
        for (const Step& b : stepsB) {
            if (b.side != step.side || b.down != step.down) continue;
            candidate = {frame, b.frame};
            if (!Reachable(anchors.back(), candidate) || !Reachable(candidate, end)) continue;
            const double gap = std::fabs(fade.bFirst + b.frame - frame);
            if (!best || gap < std::fabs(fade.bFirst + best->local - frame)) {
                chosen = candidate;
                best = &chosen;
            }
        }
        if (best) anchors.push_back(*best);
    }
    if (anchors.size() < 2) return none("no step of the incoming clip meets one of the other's");
    anchors.push_back(end);
    CStepWarp warp;
    warp.anchors_ = std::move(anchors);
    return warp;
}

double CStepWarp::LocalOfB(int frame, int bFirst) const {
    if (anchors_.empty() || frame <= anchors_.front().frame || frame >= anchors_.back().frame)
        return double(frame - bFirst);
    const auto after =
        std::upper_bound(anchors_.begin(), anchors_.end(), double(frame),
                         [](double f, const Anchor& anchor) { return f < anchor.frame; });
    const Anchor& to = *after;
    const Anchor& from = *(after - 1);
    const double t = (frame - from.frame) / (to.frame - from.frame);
    return from.local + t * (to.local - from.local);
}

}  // namespace tavrel
