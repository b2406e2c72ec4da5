#pragma once
// The program's one picture type: a thin owner of an ImageMagick image with the few operations
// the program needs. Every failure writes one debug line and leaves this picture unchanged.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct _Image;  // MagickCore's image, kept out of this header

namespace tavrel {

// A picture handed to the window layer: 24-bit RGB rows, top row first, each row starting at a
// multiple of 4 bytes. It maps straight onto QImage(bits, width, height, stride, RGB888).
struct CRBitmap {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;
    int stride = 0;
    std::vector<uint8_t> bits;
};

class CRImage {
public:
    // Pictures with more pixels than these on a side or in all are refused before they are
    // decoded (the library keeps 8 bytes a pixel while it reads).
    static constexpr int kMaxSide = 16384;
    static constexpr int64_t kMaxPixels = int64_t(8192) * 8192;

    CRImage();
    ~CRImage();
    CRImage(const CRImage&) = delete;
    CRImage& operator=(const CRImage&) = delete;
    CRImage(CRImage&& other) noexcept;
    CRImage& operator=(CRImage&& other) noexcept;

    // Reads a picture file (the first picture of an animation); false when it cannot be read.
    bool Load(const std::string& path);
    // A picture of the size filled with the colour; without a colour, black.
    bool Create(int width, int height, uint8_t red, uint8_t green, uint8_t blue);
    bool Create(int width, int height);
    // A picture from packed RGB rows (stride bytes apart), top row first.
    bool CreateFromPixels(int width, int height, const uint8_t* rgb, int stride);
    void Clear();

    // New pictures made from this one; none on failure. They keep this picture's path.
    std::unique_ptr<CRImage> Copy() const;
    std::unique_ptr<CRImage> Crop(int x, int y, int width, int height) const;
    std::unique_ptr<CRImage> Zoom(int width, int height) const;
    // Scaled into exactly width x height; with keepProportions the picture keeps its shape,
    // centred on the fill colour.
    std::unique_ptr<CRImage> ZoomToFit(int width, int height, bool keepProportions, uint8_t red,
                                       uint8_t green, uint8_t blue) const;
    // Copies a region of this picture into destination at (dx, dy).
    bool BitBlt(CRImage& destination, int dx, int dy, int width, int height, int sx, int sy) const;

    // The picture as a bitmap for the window layer (the caller owns it); none when empty.
    std::unique_ptr<CRBitmap> GetHBITMAP() const;
    // Packed RGB, top row first (width x height x 3 bytes); false when empty.
    bool GetPixels(std::vector<uint8_t>* rgb) const;

    bool IsEmpty() const { return image_ == nullptr; }
    int GetWidth() const;
    int GetHeight() const;
    // Bits per channel of the picture as read.
    int GetBitDepth() const;
    const std::string& GetPath() const { return path_; }

private:
    CRImage(_Image* image, std::string path);
    static std::unique_ptr<CRImage> Made(_Image* image, const std::string& path,
                                         const char* operation);

    std::string path_;
    _Image* image_ = nullptr;
};

}  // namespace tavrel
