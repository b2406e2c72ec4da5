// Which source joint plays which standard segment: by the joint's name (prefixes, sides and the
// words of many naming schemes), then by where it hangs in the hierarchy.
#include <algorithm>
#include <cctype>
#include <string_view>

#include "motion/SkeletonMapper.h"

namespace tavrel {
namespace {

// Joint names without side and prefix, and the segment each belongs to (left, right, unsided).
struct Family {
    const char* body;
    int32_t left, right, unsided;
};
constexpr Family kFamilies[] = {
    {"hips", -1, -1, kLowerTorso},
    {"hip", kLThigh, kRThigh, kLowerTorso},
    {"pelvis", kLPelvis, kRPelvis, kLowerTorso},
    {"spine", -1, -1, kUpperTorso},
    {"chest", -1, -1, kUpperTorso},
    {"upperchest", -1, -1, kUpperTorso},
    {"torso", -1, -1, kUpperTorso},
    {"abdomen", -1, -1, kUpperTorso},
    {"lowerback", -1, -1, kUpperTorso},
    {"upperback", -1, -1, kUpperTorso},
    {"thorax", -1, -1, kUpperTorso},
    {"neck", -1, -1, kNeck},
    {"lowerneck", -1, -1, kNeck},
    {"head", -1, -1, kHead},
    {"hipjoint", kLPelvis, kRPelvis, -1},
    {"upleg", kLThigh, kRThigh, -1},
    {"thigh", kLThigh, kRThigh, -1},
    {"femur", kLThigh, kRThigh, -1},
    {"upperleg", kLThigh, kRThigh, -1},
    {"leg", kLLowLeg, kRLowLeg, -1},
    {"lowerleg", kLLowLeg, kRLowLeg, -1},
    {"lowleg", kLLowLeg, kRLowLeg, -1},
    {"calf", kLLowLeg, kRLowLeg, -1},
    {"shin", kLLowLeg, kRLowLeg, -1},
    {"tibia", kLLowLeg, kRLowLeg, -1},
    {"knee", kLLowLeg, kRLowLeg, -1},
    {"foot", kLFoot, kRFoot, -1},
    {"ankle", kLFoot, kRFoot, -1},
    {"shoulder", kLCollar, kRCollar, -1},
    {"clavicle", kLCollar, kRCollar, -1},
    {"collar", kLCollar, kRCollar, -1},
    {"clav", kLCollar, kRCollar, -1},
    {"arm", kLUpArm, kRUpArm, -1},
    {"uparm", kLUpArm, kRUpArm, -1},
    {"upperarm", kLUpArm, kRUpArm, -1},
    {"humerus", kLUpArm, kRUpArm, -1},
    {"forearm", kLLowArm, kRLowArm, -1},
    {"lowerarm", kLLowArm, kRLowArm, -1},
    {"lowarm", kLLowArm, kRLowArm, -1},
    {"radius", kLLowArm, kRLowArm, -1},
    {"elbow", kLLowArm, kRLowArm, -1},
    {"hand", kLHand, kRHand, -1},
    {"wrist", kLHand, kRHand, -1},
};
// Words rigs put before the joint's own name.
constexpr const char* kPrefixWords[] = {"bip01", "bip001", "bip",  "mixamorig", "def",        "rig",
                                        "jnt",   "bn",     "b",    "j",         "character1", "cc",
                                        "base",  "ctrl",   "skel", "sk"};

// The words of a name: split at anything but letters and digits, and where camel case turns.
std::vector<std::string> Words(std::string_view name) {
    const size_t cut = name.find_last_of(":|");
    if (cut != std::string_view::npos) name.remove_prefix(cut + 1);
    std::vector<std::string> words;
    std::string word;
    auto flush = [&] {
        if (!word.empty()) words.push_back(word);
        word.clear();
    };
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (!std::isalnum(c)) {
            flush();
            continue;
        }
        const bool upper = std::isupper(c);
        const bool prevLower = i > 0 && std::islower(static_cast<unsigned char>(name[i - 1]));
        const bool prevUpper = i > 0 && std::isupper(static_cast<unsigned char>(name[i - 1]));
        const bool nextLower =
            i + 1 < name.size() && std::islower(static_cast<unsigned char>(name[i + 1]));
        if (upper && (prevLower || (prevUpper && nextLower))) flush();
        word.push_back(static_cast<char>(std::tolower(c)));
    }
    flush();
    return words;
}

const Family* FamilyOf(std::string_view body) {
    while (!body.empty() && std::isdigit(static_cast<unsigned char>(body.back())))
        body.remove_suffix(1);
    for (const Family& family : kFamilies) {
        if (body == family.body) return &family;
    }
    return nullptr;
}

// 'L', 'R' or 0, and the joint's own name in one word without side and prefixes.
std::pair<char, std::string> SideAndBody(const std::string& name) {
    std::vector<std::string> words = Words(name);
    char side = 0;
    std::string body;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "left" || w == "l" || w == "lft" || w == "lf") {
            side = 'L';
        } else if (w == "right" || w == "r" || w == "rt" || w == "rgt") {
            side = 'R';
        } else if (body.empty() &&
                   std::find_if(std::begin(kPrefixWords), std::end(kPrefixWords),
                                [&](const char* p) { return w == p; }) != std::end(kPrefixWords) &&
                   i + 1 < words.size()) {
            continue;
        } else {
            body += w;
        }
    }
    // "lfemur", "rhand": a side letter glued to a known word.
    if (side == 0 && body.size() > 1 && (body[0] == 'l' || body[0] == 'r') && !FamilyOf(body) &&
        FamilyOf(std::string_view(body).substr(1))) {
        side = body[0] == 'l' ? 'L' : 'R';
        body.erase(0, 1);
    }
    return {side, body};
}

int32_t Depth(const ANIMFILE& motion, int32_t joint) {
    int32_t depth = 0;
    for (int32_t at = motion.GetSegment(joint)->parent;
         at >= 0 && depth <= motion.GetSegmentCount(); at = motion.GetSegment(at)->parent) {
        ++depth;
    }
    return depth;
}

bool IsAncestor(const ANIMFILE& motion, int32_t ancestor, int32_t joint) {
    for (int32_t at = motion.GetSegment(joint)->parent, steps = 0;
         at >= 0 && steps <= motion.GetSegmentCount();
         at = motion.GetSegment(at)->parent, ++steps) {
        if (at == ancestor) return true;
    }
    return false;
}

// The joints above `joint` that are among the candidates, nearest first.
std::vector<int32_t> CandidatesAbove(const ANIMFILE& motion, int32_t joint,
                                     const std::vector<int32_t>& candidates) {
    std::vector<int32_t> above;
    for (int32_t at = motion.GetSegment(joint)->parent, steps = 0;
         at >= 0 && steps <= motion.GetSegmentCount();
         at = motion.GetSegment(at)->parent, ++steps) {
        if (std::find(candidates.begin(), candidates.end(), at) != candidates.end())
            above.push_back(at);
    }
    return above;
}

using Candidates = std::array<std::vector<int32_t>, kStandardSegmentCount>;

// "Shoulder" is the collarbone in some schemes and the upper arm in others (where "Collar" is
// the collarbone and "Elbow" the forearm). When no joint is named an upper arm, the shoulder or
// collar joint nearest above the forearm is the upper arm, and the next one up the collarbone.
void ArmsByHierarchy(const ANIMFILE& source, const Candidates& candidates,
                     std::array<int32_t, kStandardSegmentCount>* joints) {
    constexpr int32_t kSides[2][3] = {{kLUpArm, kLCollar, kLLowArm}, {kRUpArm, kRCollar, kRLowArm}};
    for (const auto& [upper, collar, lower] : kSides) {
        if ((*joints)[upper] >= 0 || (*joints)[lower] < 0) continue;
        const std::vector<int32_t> above =
            CandidatesAbove(source, (*joints)[lower], candidates[collar]);
        if (above.empty()) continue;
        (*joints)[upper] = above[0];
        if (above.size() > 1) {
            (*joints)[collar] = above[1];
        } else if ((*joints)[collar] == above[0]) {
            (*joints)[collar] = -1;
        }
    }
}

// Some rigs number one spine chain from the hips to the skull. Without a joint named a head,
// the spine joints above the one the arms hang from are the neck (the lowest) and the head.
void HeadUpTheSpine(const ANIMFILE& source, const std::vector<int32_t>& spine,
                    std::array<int32_t, kStandardSegmentCount>* joints) {
    const int32_t arm = (*joints)[kLCollar] >= 0 ? (*joints)[kLCollar] : (*joints)[kLUpArm];
    if ((*joints)[kHead] >= 0 || arm < 0) return;
    const int32_t chest = source.GetSegment(arm)->parent;
    std::vector<int32_t> above;
    for (int32_t j : spine) {
        if (chest >= 0 && IsAncestor(source, chest, j)) above.push_back(j);
    }
    if (above.empty()) return;
    std::sort(above.begin(), above.end(),
              [&](int32_t a, int32_t b) { return Depth(source, a) < Depth(source, b); });
    (*joints)[kHead] = above.back();
    if ((*joints)[kNeck] < 0 && above.size() > 1) (*joints)[kNeck] = above.front();
}

}  // namespace

int32_t CSkeletonMapper::SegmentForName(const std::string& name) {
    auto [side, body] = SideAndBody(name);
    const Family* family = FamilyOf(body);
    if (!family) return -1;
    if (side == 'L') return family->left;
    if (side == 'R') return family->right;
    return family->unsided;
}

std::array<int32_t, kStandardSegmentCount> CSkeletonMapper::Match(const ANIMFILE& source,
                                                                  const Overrides& overrides) {
    std::array<int32_t, kStandardSegmentCount> joints;
    joints.fill(-1);
    Candidates candidates;
    for (int32_t i = 0; i < source.GetSegmentCount(); ++i) {
        const std::string name = source.GetSegment(i)->name;
        if (auto it = overrides.find(name); it != overrides.end()) {
            for (int32_t s = 0; s < kStandardSegmentCount; ++s) {
                if (it->second == kStandardSkeleton[s].name) joints[s] = i;
            }
            continue;
        }
        const int32_t segment = SegmentForName(name);
        if (segment >= 0) candidates[segment].push_back(i);
    }
    auto closestToRoot = [&](const std::vector<int32_t>& list) {
        int32_t best = -1;
        for (int32_t j : list) {
            if (best < 0 || Depth(source, j) < Depth(source, best)) best = j;
        }
        return best;
    };
    for (int32_t s = 0; s < kStandardSegmentCount; ++s) {
        if (joints[s] < 0 && s != kUpperTorso) joints[s] = closestToRoot(candidates[s]);
    }
    ArmsByHierarchy(source, candidates, &joints);
    HeadUpTheSpine(source, candidates[kUpperTorso], &joints);
    // A root without a telling name ("root"): the joint both thighs hang from.
    if (joints[kLowerTorso] < 0 && joints[kLThigh] >= 0 && joints[kRThigh] >= 0) {
        for (int32_t at = source.GetSegment(joints[kLThigh])->parent; at >= 0;
             at = source.GetSegment(at)->parent) {
            const bool pelvisSide = at == joints[kLPelvis] || at == joints[kRPelvis];
            if (!pelvisSide && IsAncestor(source, at, joints[kRThigh])) {
                joints[kLowerTorso] = at;
                break;
            }
        }
    }
    // The upper torso turns the shoulders: take the spine joint the neck hangs from.
    if (joints[kUpperTorso] < 0 && !candidates[kUpperTorso].empty()) {
        const int32_t top = joints[kNeck] >= 0 ? joints[kNeck] : joints[kHead];
        int32_t best = -1;
        for (int32_t j : candidates[kUpperTorso]) {
            const bool holdsTop = top < 0 || IsAncestor(source, j, top);
            if (holdsTop && (best < 0 || Depth(source, j) > Depth(source, best))) best = j;
        }
        joints[kUpperTorso] = best >= 0 ? best : closestToRoot(candidates[kUpperTorso]);
    }
    return joints;
}

}  // namespace tavrel
