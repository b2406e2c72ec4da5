#include "RKWindow/RKBackground.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "ZU2/rkDevice.h"
#include "media/RImage.h"

CRKBackground::Fit CRKBackground::FitInto(int w, int h, int surfaceWidth, int surfaceHeight) {
    Fit fit{w, h, 0, 0};
    if (w <= 0 || h <= 0 || surfaceWidth <= 0 || surfaceHeight <= 0) return fit;
    const int64_t W = surfaceWidth, H = surfaceHeight;
    if (W * h < H * w) {
        // Wider than the surface: bands above and below.
        fit.height = static_cast<int>((int64_t(w) * H + W - 1) / W);
        fit.top = (fit.height - h) / 2;
    } else {
        fit.width = static_cast<int>((int64_t(h) * W + H - 1) / H);
        fit.left = (fit.width - w) / 2;
    }
    return fit;
}

bool CRKBackground::SetImage(const std::string& name) {
    if (name.empty()) {
        Remove();
        return true;
    }
    if (name == name_ && HasPicture()) return true;
    tavrel::CRImage picture;
    if (!picture.Load(name)) return false;
    std::unique_ptr<tavrel::CRImage> smaller;
    const int64_t longest = std::max(picture.GetWidth(), picture.GetHeight());
    if (longest > kMaxSide) {
        smaller = picture.Zoom(std::max<int>(1, picture.GetWidth() * kMaxSide / longest),
                               std::max<int>(1, picture.GetHeight() * kMaxSide / longest));
        if (!smaller) return false;
    }
    const tavrel::CRImage& chosen = smaller ? *smaller : picture;
    std::vector<uint8_t> pixels;
    if (!chosen.GetPixels(&pixels)) return false;
    pixels_ = std::move(pixels);
    width_ = chosen.GetWidth();
    height_ = chosen.GetHeight();
    name_ = name;
    return true;
}

bool CRKBackground::SetBitmap(const uint8_t* rgb, int width, int height, int stride) {
    if (!rgb || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        stride < width * 3)
        return false;
    pixels_.resize(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        std::memcpy(&pixels_[size_t(y) * width * 3], rgb + size_t(y) * stride, size_t(width) * 3);
    width_ = width;
    height_ = height;
    name_.clear();  // the file's picture is gone: showing that file again must read it
    return true;
}

void CRKBackground::Remove() {
    name_.clear();
    pixels_.clear();
    width_ = height_ = 0;
}

void CRKBackground::Apply(int surfaceWidth, int surfaceHeight, const uint8_t fill[3]) const {
    if (!shown_ || pixels_.empty()) {
        rkSetBackgroundPicture(nullptr, 0, 0, 24);
        return;
    }
    const Fit fit = FitInto(width_, height_, surfaceWidth, surfaceHeight);
    if (fit.width == width_ && fit.height == height_) {
        rkSetBackgroundPicture(pixels_.data(), width_, height_, 24);
        return;
    }
    std::vector<uint8_t> padded(size_t(fit.width) * fit.height * 3);
    for (size_t i = 0; i < padded.size(); i += 3) std::memcpy(&padded[i], fill, 3);
    const size_t row = size_t(width_) * 3;
    for (int y = 0; y < height_; ++y) {
        std::memcpy(&padded[(size_t(y + fit.top) * fit.width + fit.left) * 3], &pixels_[y * row],
                    row);
    }
    rkSetBackgroundPicture(padded.data(), fit.width, fit.height, 24);
}
