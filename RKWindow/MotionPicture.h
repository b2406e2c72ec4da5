#pragma once
// A picture of the avatar posed by a motion, drawn headless: its own EGL context and 3D system
// with the world, kept for many pictures of one size. The command line's render command and
// the gallery's thumbnails draw through it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AnimRead/AnimFile.h"

class CRKSystem;
class rkEglHost;

class CMotionPicture {
public:
    CMotionPicture();
    ~CMotionPicture();
    CMotionPicture(const CMotionPicture&) = delete;
    CMotionPicture& operator=(const CMotionPicture&) = delete;

    // Makes the context, the device and the world with the avatar from the data folder;
    // false with a debug line when the context or device cannot be had.
    bool Create(int width, int height, const std::string& dataFolder, const uint8_t background[3]);
    bool HasAvatar() const;
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Poses the avatar at the frame (clamped to the motion) and draws it seen from the camera
    // preset at the scale; pixels receives width * height opaque 0xAARRGGBB values, top row
    // first. The context is left current on no thread, so the next call may come from another.
    bool Draw(ANIMFILE& motion, int frame, int camera, float scale, uint32_t* pixels);

private:
    std::unique_ptr<rkEglHost> host_;
    std::unique_ptr<CRKSystem> system_;
    int width_ = 0;
    int height_ = 0;
};

// The frame a still picture of a whole motion shows: the middle one.
int32_t MotionPictureFrame(const ANIMFILE& motion);
