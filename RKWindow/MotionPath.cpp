#include "RKWindow/MotionPath.h"

#include <algorithm>
#include <cstring>

#include "motion/Legs.h"

namespace tavrel {

namespace {

// The first frame of from..to with a pose, or to + 1.
int FirstPosed(int from, int to, const TimelinePoseAt& poseAt, const rkNode** pose) {
    for (int f = from; f <= to; ++f) {
        if ((*pose = poseAt(f))) return f;
    }
    return to + 1;
}

void AddPoints(const rkNode* pose, std::vector<MotionPath>& paths) {
    for (MotionPath& path : paths) {
        const rkNode* node = rkFindNode(const_cast<rkNode*>(pose), path.segment.c_str());
        path.points.push_back(node ? rkOrigin(WorldOf(node)) : rkVector{0, 0, 0});
    }
}

// The plants of each foot as timeline frames, on the path of that foot's segment.
void MarkPlants(const rkNode* pose, const FootContacts& contacts, int first,
                std::vector<MotionPath>& paths) {
    const Legs legs = FindLegs(const_cast<rkNode*>(pose));
    for (int side = 0; side < 2; ++side) {
        if (!legs[side].Valid()) continue;
        for (MotionPath& path : paths) {
            if (path.segment != legs[side].foot->name) continue;
            for (FootPlant plant : contacts.Plants(side))
                path.plants.push_back({plant.first + first, plant.last + first});
        }
    }
}

}  // namespace

bool MotionPath::PlantedAt(int frame) const {
    return std::any_of(plants.begin(), plants.end(),
                       [frame](const FootPlant& p) { return frame >= p.first && frame <= p.last; });
}

std::vector<MotionPath> BuildMotionPaths(int from, int to, int last,
                                         const std::vector<std::string>& segments,
                                         const TimelinePoseAt& poseAt) {
    from = std::max(from, 0);
    to = std::min(to, last);
    const rkNode* held = nullptr;
    const int first = FirstPosed(from, to, poseAt, &held);
    if (first > to) return {};
    std::vector<MotionPath> paths;
    for (const std::string& name : segments) {
        if (!rkFindNode(const_cast<rkNode*>(held), name.c_str())) continue;
        MotionPath path;
        path.segment = name;
        path.first = first;
        paths.push_back(std::move(path));
    }
    if (paths.empty()) return {};
    // One sweep gives the points and the contacts; the contacts stop early for a figure
    // without legs, and the points go on from there.
    const int count = to - first + 1;
    int swept = 0;
    const FootContacts contacts = FindFootContacts(count, [&](int i) {
        if (i > 0) {
            if (const rkNode* pose = poseAt(first + i)) held = pose;
        }
        AddPoints(held, paths);
        swept = i + 1;
        return held;
    });
    for (int i = swept; i < count; ++i) {
        if (const rkNode* pose = poseAt(first + i)) held = pose;
        AddPoints(held, paths);
    }
    MarkPlants(held, contacts, first, paths);
    const int tick = MotionPath::kTickFrames;
    for (MotionPath& path : paths) {
        for (int f = (first + tick - 1) / tick * tick; f <= to; f += tick) path.ticks.push_back(f);
    }
    return paths;
}

}  // namespace tavrel
