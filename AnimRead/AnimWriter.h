#pragma once
// Writes any motion record as CHA text or CHB bytes. Every motion-file class saves through
// here, so the two layouts live in one place.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "ZU2/rkMath.h"

namespace tavrel {

class ANIMFILE;

class ANIMWRITER {
public:
    // A file that cannot be created is skipped without a word; a failed write raises code 3
    // (CHA: with the start of the text that was to be written as the detail).
    // Each returns false when the file cannot be created (nothing is written then).
    // A close that fails raises code 3 with the file's name as the detail.
    static bool WriteCha(const ANIMFILE& motion, const char* path);
    static bool WriteChb(const ANIMFILE& motion, const char* path);

    // Where the frames come from when they are not in the motion's memory: fills one local
    // matrix per segment, in segment order, for the frame at index (0 is the begin frame).
    // Called once per frame, in order; may raise ERROBJ, which leaves the write unfinished.
    using FrameFeed = std::function<void(int64_t index, rkMatrix* matrices)>;
    static bool WriteCha(const ANIMFILE& motion, const char* path, const FrameFeed& feed);
    static bool WriteChb(const ANIMFILE& motion, const char* path, const FrameFeed& feed);

    // Our Z-up world turned into the Y-up one of BVH and glTF: a quarter turn back about x,
    // (x, y, z) -> (x, z, -y). Applied after a root's own matrix.
    static const rkMatrix& ZUpToYUp();

    // Room FormatFixed needs: the widest float in "%10.3f" is 39 digits, sign, point, 3 decimals.
    static constexpr size_t kFixedMax = 48;
    // Writes value exactly as printf's "%10.3f" would (no terminator); returns the end.
    static char* FormatFixed(char* out, float value);
};

}  // namespace tavrel
