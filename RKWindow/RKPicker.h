#pragma once
// Picking by identification colours: every object of the world is drawn once more, unlit
// and untextured, in a colour that encodes its place in the world's object list; the one
// pixel under the mouse then says which object is there. The frame is never shown.
#include <cstdint>
#include <vector>

#include "ZU2/rkNode.h"

namespace tavrel {

class CRKSystem;

class CRKPicker {
public:
    // Index i is drawn in colour i x 2048 (green = 8 i), so 32 objects can be told apart.
    static constexpr int kMaxObjects = 32;

    // The world's pickable objects, in list order: its nodes that carry visuals, depth first.
    // Hidden ones are listed (they keep their index) but never drawn.
    static std::vector<rkNode*> Objects(rkNode* world);

    // The object under window point (x, y), or none (outside the window, background, or a
    // colour no object has). Shows the ground for the pick and hides the ring, and puts
    // both back afterwards; the picture or video frame behind the scene is not drawn.
    static rkNode* Pick(CRKSystem& system, int x, int y);

    // The colour of index i and the index a read-back colour stands for (-1: none).
    static uint32_t Colour(int index) { return 0xFF000000u | uint32_t(index) * 2048u; }
    static int IndexOf(uint32_t colour);
};

}  // namespace tavrel
