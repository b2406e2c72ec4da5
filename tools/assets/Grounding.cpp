#include "tools/assets/Grounding.h"

#include "tools/assets/AvatarModel.h"
#include "tools/assets/Rotation.h"

namespace tavrel::assets {
namespace {

struct ContactPoint {
    int segment;
    rkVector local;  // in the segment's own frame
};

ContactPoint Attach(int segment, rkVector restWorld) {
    return {segment, rkTransformPoint(restWorld, Inverse(Rest().world[segment]))};
}

const std::array<ContactPoint, kContactCount>& ContactPoints() {
    static const std::array<ContactPoint, kContactCount> points = {
        Attach(kLFoot, HeelPoint(true)),
        Attach(kLFoot, ToePoint(true)),
        Attach(kRFoot, HeelPoint(false)),
        Attach(kRFoot, ToePoint(false)),
        // The underside of the hips, where one sits.
        Attach(kLowerTorso, rkOrigin(Rest().world[kLowerTorso]) + rkVector{87.2f, 58.6f, -119.7f}),
        Attach(kLowerTorso, rkOrigin(Rest().world[kLowerTorso]) + rkVector{-87.2f, 58.6f, -119.7f}),
    };
    return points;
}

}  // namespace

Contacts ContactsOf(const SkeletonMatrices& world) {
    Contacts c;
    for (int i = 0; i < kContactCount; ++i) {
        const ContactPoint& p = ContactPoints()[i];
        c.point[i] = rkTransformPoint(p.local, world[p.segment]);
    }
    return c;
}

int LowestContact(const Contacts& contacts, bool seated) {
    const int count = seated ? kContactCount : 4;
    int lowest = 0;
    for (int i = 1; i < count; ++i) {
        if (contacts.point[i].z < contacts.point[lowest].z) lowest = i;
    }
    return lowest;
}

}  // namespace tavrel::assets
