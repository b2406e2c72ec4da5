#include "motion/MirrorPose.h"

#include <cmath>
#include <cstring>
#include <map>

#include "motion/GroundPlace.h"
#include "motion/NodeOrder.h"

namespace tavrel {
namespace {

bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

// "Left" for "Right" and back, in any of the usual cases, wherever it stands in the name.
std::string SwapSideWord(const std::string& name) {
    static const std::pair<const char*, const char*> kWords[] = {
        {"Left", "Right"}, {"left", "right"}, {"LEFT", "RIGHT"}};
    for (const auto& [a, b] : kWords) {
        for (const auto& [from, to] : {std::pair{a, b}, std::pair{b, a}}) {
            if (const size_t at = name.find(from); at != std::string::npos) {
                return name.substr(0, at) + to + name.substr(at + std::strlen(from));
            }
        }
    }
    return {};
}

char OtherSideLetter(char c) {
    switch (c) {
        case 'L':
            return 'R';
        case 'R':
            return 'L';
        case 'l':
            return 'r';
        case 'r':
            return 'l';
        default:
            return 0;
    }
}

// The parent's index of every node in pre-order (-1 for the root).
std::vector<int> ParentsOf(const std::vector<const rkNode*>& nodes) {
    std::map<const rkNode*, int> index;
    for (size_t i = 0; i < nodes.size(); ++i) index[nodes[i]] = int(i);
    std::vector<int> parents;
    for (const rkNode* node : nodes) {
        const auto found = index.find(node->parent);
        parents.push_back(found == index.end() ? -1 : found->second);
    }
    return parents;
}

// Rows of the upper 3x3, as the row-vector convention keeps a node's axes.
rkVector Row(const rkMatrix& m, int r) {
    return {m.m[r * 4], m.m[r * 4 + 1], m.m[r * 4 + 2]};
}

void SetRow(rkMatrix& m, int r, const rkVector& v) {
    m.m[r * 4] = v.x, m.m[r * 4 + 1] = v.y, m.m[r * 4 + 2] = v.z;
}

rkVector Reflect(const rkVector& v, const rkVector& normal) {
    return v - normal * (2.0f * rkDot(v, normal));
}

}  // namespace

std::string OtherSideName(const std::string& name) {
    if (std::string word = SwapSideWord(name); !word.empty()) return word;
    // LThigh, L_Hand, l.foot: a side letter before a capital or a separator.
    if (name.size() > 1 && OtherSideLetter(name[0]) &&
        (IsUpper(name[1]) || name[1] == '_' || name[1] == '.')) {
        return OtherSideLetter(name[0]) + name.substr(1);
    }
    // hand_l, Foot.R: a side letter after a separator at the end.
    const size_t n = name.size();
    if (n > 2 && (name[n - 2] == '_' || name[n - 2] == '.') && OtherSideLetter(name[n - 1])) {
        return name.substr(0, n - 1) + OtherSideLetter(name[n - 1]);
    }
    return {};
}

MirrorPairs FindMirrorPairs(const rkNode* root) {
    const std::vector<const rkNode*> nodes = PreOrderNodes(root);
    std::map<std::string, int> byName;
    for (size_t i = 0; i < nodes.size(); ++i) byName.emplace(nodes[i]->name, int(i));
    MirrorPairs pairs;
    bool sided = false;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const std::string other = OtherSideName(nodes[i]->name);
        const auto found = other.empty() ? byName.end() : byName.find(other);
        if (!other.empty() && found == byName.end()) {
            pairs.problem = std::string("segment ") + nodes[i]->name + " has no partner " + other;
            return pairs;
        }
        sided |= !other.empty();
        pairs.partner.push_back(other.empty() ? int(i) : found->second);
    }
    if (!sided) {
        pairs.problem = "the figure has no left and right segments";
        return pairs;
    }
    const std::vector<int> parents = ParentsOf(nodes);
    for (size_t i = 0; i < nodes.size(); ++i) {
        const int mirroredParent = parents[i] < 0 ? -1 : pairs.partner[parents[i]];
        if (parents[pairs.partner[i]] != mirroredParent) {
            pairs.problem = std::string("segments ") + nodes[i]->name + " and " +
                            nodes[pairs.partner[i]]->name + " hang from different places";
            return pairs;
        }
    }
    return pairs;
}

MirrorPlane SagittalPlaneOf(const rkNode* root) {
    if (!root) return {};
    const GroundPlace place = RootPlaceOf(root);
    return {rkOrigin(root->local), {std::cos(place.heading), std::sin(place.heading), 0.0f}};
}

void MirrorPose(const rkNode* pose, const MirrorPairs& pairs, const MirrorPlane& plane,
                rkNode* out) {
    const std::vector<const rkNode*> from = PreOrderNodes(pose);
    const std::vector<rkNode*> to = PreOrderNodes(out);
    if (from.size() != to.size() || pairs.partner.size() != from.size()) return;
    for (size_t i = 0; i < from.size(); ++i) {
        const rkMatrix& source = from[pairs.partner[i]]->local;
        rkMatrix mirrored = from[i]->local;  // the segment's own offset and fourth column
        // Every segment's side axis is its local x: the partner's turn seen in a mirror is
        // S * R * S with S flipping x.
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                const bool flip = (r == 0) != (c == 0);
                mirrored.m[r * 4 + c] = flip ? -source.m[r * 4 + c] : source.m[r * 4 + c];
            }
        }
        if (i == 0) {
            // The root stands in the world: S * R, then its axes and place through the plane.
            for (int r = 0; r < 3; ++r) {
                const rkVector axis = Row(source, r) * (r == 0 ? -1.0f : 1.0f);
                SetRow(mirrored, r, Reflect(axis, plane.normal));
            }
            SetRow(mirrored, 3,
                   plane.point + Reflect(rkOrigin(source) - plane.point, plane.normal));
        }
        to[i]->local = mirrored;
        to[i]->flags |= RK_NODE_CHANGED;
    }
}

}  // namespace tavrel
