#pragma once
// Writes any motion record as BVH text that other tools read: the segment tree depth first,
// Z-up turned back into BVH's Y-up at the root, every rotation as Z, X, Y Euler angles.

namespace tavrel {

class ANIMFILE;

class BVHWRITER {
public:
    // False when the file cannot be created (nothing is written then); a failed write raises
    // code 3 with the path. The motion's frames must be in memory.
    static bool Write(const ANIMFILE& motion, const char* path);
};

}  // namespace tavrel
