#pragma once
// The thumbnail maker of the gallery and the command line: the avatar in the middle frame of a
// motion, seen from the front on the gallery's dark background, drawn by one headless image
// generator kept for the maker's life.
#include <memory>
#include <string>

#include "AnimRead/AnimFile.h"
#include "browse/core/ThumbnailPicture.h"

namespace tavrel {

class CIMImageGenerator;

class CMotionThumbnailMaker {
public:
    // The background of every thumbnail; the window layer shows it as transparent.
    static constexpr uint8_t kBackground[3] = {0x1F, 0x1F, 0x1F};

    explicit CMotionThumbnailMaker(std::string dataFolder);
    ~CMotionThumbnailMaker();

    // The middle frame of the motion file; a picture with a problem when it does not read whole.
    ThumbnailPtr Make(const std::string& path, int width, int height);
    // One frame (clamped) of a motion already read.
    ThumbnailPtr MakeFrame(ANIMFILE& motion, int frame, int width, int height);
    // A maker function over this object, which must outlive it.
    ThumbnailMaker Function();
    // Lets go of the image generator (its GL context, device and avatar, some 10 MB) and gives
    // the memory back to the system; the next picture sets it up again (some 40 ms).
    void Release();

private:
    static ThumbnailPtr Unshown(const std::string& reason, int width, int height);

    std::string dataFolder_;
    std::unique_ptr<CIMImageGenerator> picture_;
};

}  // namespace tavrel
