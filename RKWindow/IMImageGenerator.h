#pragma once
// Renders the picture of a motion file off screen: the avatar posed by the motion, drawn by a
// hidden 3D system of its own over a headless EGL context, so the gallery's worker thread can
// call it. Each call takes the context on the calling thread and lets it go again; callers keep
// calls to one at a time (the application's 3D lock). The world is built once: a warm call only
// reads the motion, poses and draws.
#include <memory>
#include <string>

#include "AnimRead/AnimFile.h"
#include "RKWindow/RKSystem.h"
#include "ZU2/rkEglHost.h"
#include "media/RImage.h"

namespace tavrel {

class CIMImageGenerator {
public:
    // The background of the pictures (the gallery's colour).
    static constexpr const uint8_t (&kBackground)[3] = kViewBackground;

    // The data folder holds the avatar and its initial pose.
    explicit CIMImageGenerator(std::string dataFolder);
    ~CIMImageGenerator();
    CIMImageGenerator(const CIMImageGenerator&) = delete;
    CIMImageGenerator& operator=(const CIMImageGenerator&) = delete;

    // The window the pictures are for (the gallery frame); it only has to exist, since drawing
    // needs no window here. Sets up the hidden 3D system.
    bool SetWindow(const void* window);
    bool SetImageSize(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The background of the pictures from now on (kBackground until set).
    void SetBackground(const uint8_t rgb[3]);
    // Poses the avatar at a frame of a motion already read (clamped to it) and draws it from
    // the front; pixels receives Width() x Height() opaque 0xAARRGGBB values, top row first.
    // A view wider than high steps back so that the whole body stays in the picture.
    // False, with nothing drawn, when that frame cannot be read.
    bool DrawFrame(ANIMFILE& motion, int frame, uint32_t* pixels);
    // The frame a still picture of a whole motion shows: the middle one.
    static int MiddleFrame(const ANIMFILE& motion);
    // The picture of the motion in its middle frame; none (with a debug line) when not set up
    // or when the motion cannot be read or drawn. The caller owns the bitmap.
    std::unique_ptr<CRBitmap> GetImage(const std::string& motionPath);
    // The same picture as a CRImage.
    std::unique_ptr<CRImage> GetPicture(const std::string& motionPath);

private:
    void TearDown();

    std::string dataFolder_;
    const void* window_ = nullptr;
    std::unique_ptr<rkEglHost> host_;
    std::unique_ptr<CRKSystem> system_;  // the hidden 3D window
    uint8_t background_[3] = {kBackground[0], kBackground[1], kBackground[2]};
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> frame_;
    std::vector<uint8_t> rgb_;
};

}  // namespace tavrel
