#pragma once
// A thumbnail picture below the window layer: 24-bit RGB rows, top row first, and the function
// that makes one from a motion file.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavrel {

struct ThumbnailPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3 bytes; none when there is a problem
    // Why the file cannot be shown (for its tooltip); such a file has no picture. Kept like a
    // picture, so a damaged file is not read again until it changes.
    std::string problem;
};

using ThumbnailPtr = std::shared_ptr<const ThumbnailPicture>;

// Makes the picture of a motion file at the given size: a picture with a problem when the file
// cannot be read, null when no picture can be made now (nothing is kept then). Called on the worker thread, one call at a time.
using ThumbnailMaker = std::function<ThumbnailPtr(const std::string& path, int width, int height)>;

}  // namespace tavrel
