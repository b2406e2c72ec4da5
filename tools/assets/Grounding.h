#pragma once
// Puts a posed figure on the floor: the points where the body can touch the floor (heels,
// toes and, for seated poses, the seat), followed through any pose.
#include <array>

#include "tools/assets/PoseBuilder.h"

namespace tavrel::assets {

constexpr int kContactCount = 6;  // heel and toe of each foot, two points of the seat

struct Contacts {
    std::array<rkVector, kContactCount> point;
};

// Where the contact points are for these world matrices.
Contacts ContactsOf(const SkeletonMatrices& world);
// The lowest contact (the seat only when seated); its height is the figure's lowest point.
int LowestContact(const Contacts& contacts, bool seated);

}  // namespace tavrel::assets
