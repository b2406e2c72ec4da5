#pragma once
// The picture behind the avatar: a still picture read from a file or a video frame handed in,
// kept as RGB and given to the device padded with the background colour to the surface's
// shape, so that the device's stretch keeps the picture's proportions.
#include <cstdint>
#include <string>
#include <vector>

#include "base/RegularFile.h"

namespace tavrel {

class CRImage;

class CRKBackground {
public:
    // Larger pictures are scaled down first: no window is that big, and textures have limits.
    static constexpr int kMaxSide = 4096;

    // Where a picture of w x h lies in the padded picture of the surface's shape.
    struct Fit {
        int width = 0, height = 0;  // the padded picture
        int left = 0, top = 0;      // the picture's place in it
    };
    static Fit FitInto(int w, int h, int surfaceWidth, int surfaceHeight);

    // "" removes the picture. The same file as the picture shown (same name, still the file
    // read then, or gone since) reads nothing. A file that
    // cannot be read leaves the previous picture and gives false.
    bool SetImage(const std::string& name);
    // A video frame: packed RGB rows stride bytes apart, top row first. It has no file name.
    // A frame larger than kMaxSide is scaled down as a picture is.
    bool SetBitmap(const uint8_t* rgb, int width, int height, int stride);
    void Remove();

    bool IsShown() const { return shown_; }
    void Show(bool shown) { shown_ = shown; }
    bool HasPicture() const { return !pixels_.empty(); }
    const std::string& ImageName() const { return name_; }

    // The picture padded with the fill colour to the surface's shape, no side longer than
    // kMaxSide (a picture that would pad to more is shrunk first).
    struct Picture {
        std::vector<uint8_t> rgb;
        int width = 0, height = 0;
    };
    Picture Padded(int surfaceWidth, int surfaceHeight, const uint8_t fill[3]) const;
    // Gives the picture (or its absence) to the current device for a surface of that size.
    void Apply(int surfaceWidth, int surfaceHeight, const uint8_t fill[3]) const;

private:
    bool Keep(const CRImage& picture);

    std::string name_;
    FileIdentity identity_;        // of the file name_ when it was read
    std::vector<uint8_t> pixels_;  // packed RGB
    int width_ = 0, height_ = 0;
    bool shown_ = true;
};

}  // namespace tavrel
