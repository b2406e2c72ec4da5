#include "RKWindow/RKBackground.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "ZU2/rkDevice.h"
#include "base/RegularFile.h"
#include "media/RImage.h"

namespace tavrel {

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
    // The same name may be another file by now (the working folder reuses names); one that is
    // gone leaves the picture read from it.
    const std::optional<FileIdentity> identity = IdentityOf(name);
    if (name == name_ && HasPicture() && (!identity || *identity == identity_)) return true;
    CRImage picture;
    if (!picture.Load(name) || !Keep(picture)) return false;
    name_ = name;
    identity_ = identity.value_or(FileIdentity());
    return true;
}

bool CRKBackground::SetBitmap(const uint8_t* rgb, int width, int height, int stride) {
    if (!rgb || width <= 0 || height <= 0 || stride < width * 3) return false;
    if (width > kMaxSide || height > kMaxSide) {
        CRImage picture;
        if (!picture.CreateFromPixels(width, height, rgb, stride) || !Keep(picture)) return false;
    } else {
        pixels_.resize(size_t(width) * height * 3);
        for (int y = 0; y < height; ++y)
            std::memcpy(&pixels_[size_t(y) * width * 3], rgb + size_t(y) * stride,
                        size_t(width) * 3);
        width_ = width;
        height_ = height;
    }
    name_.clear();  // the file's picture is gone: showing that file again must read it
    return true;
}

// Takes the picture's pixels, scaled down to kMaxSide on its longer side.
bool CRKBackground::Keep(const CRImage& picture) {
    std::unique_ptr<CRImage> smaller;
    const int64_t longest = std::max(picture.GetWidth(), picture.GetHeight());
    if (longest > kMaxSide) {
        smaller = picture.Zoom(std::max<int>(1, picture.GetWidth() * kMaxSide / longest),
                               std::max<int>(1, picture.GetHeight() * kMaxSide / longest));
        if (!smaller) return false;
    }
    const CRImage& chosen = smaller ? *smaller : picture;
    std::vector<uint8_t> pixels;
    if (!chosen.GetPixels(&pixels)) return false;
    pixels_ = std::move(pixels);
    width_ = chosen.GetWidth();
    height_ = chosen.GetHeight();
    return true;
}

void CRKBackground::Remove() {
    name_.clear();
    pixels_.clear();
    width_ = height_ = 0;
}

CRKBackground::Picture CRKBackground::Padded(int surfaceWidth, int surfaceHeight,
                                             const uint8_t fill[3]) const {
    // A long thin picture in a window of the other shape pads to a picture many times its
    // size: the padded picture keeps within kMaxSide, the picture shrunk into it.
    int w = width_, h = height_;
    Fit fit = FitInto(w, h, surfaceWidth, surfaceHeight);
    const int64_t longest = std::max(fit.width, fit.height);
    if (longest > kMaxSide) {
        w = static_cast<int>(std::max<int64_t>(1, w * kMaxSide / longest));
        h = static_cast<int>(std::max<int64_t>(1, h * kMaxSide / longest));
        fit = FitInto(w, h, surfaceWidth, surfaceHeight);
    }
    Picture padded{std::vector<uint8_t>(size_t(fit.width) * fit.height * 3), fit.width, fit.height};
    for (size_t i = 0; i < padded.rgb.size(); i += 3) std::memcpy(&padded.rgb[i], fill, 3);
    for (int y = 0; y < h; ++y) {
        const uint8_t* source = &pixels_[int64_t(y) * height_ / h * width_ * 3];
        uint8_t* target = &padded.rgb[(size_t(y + fit.top) * fit.width + fit.left) * 3];
        if (w == width_) {
            std::memcpy(target, source, size_t(w) * 3);
            continue;
        }
        for (int x = 0; x < w; ++x)
            std::memcpy(target + x * 3, source + int64_t(x) * width_ / w * 3, 3);
    }
    return padded;
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
    const Picture padded = Padded(surfaceWidth, surfaceHeight, fill);
    rkSetBackgroundPicture(padded.rgb.data(), padded.width, padded.height, 24);
}

}  // namespace tavrel
