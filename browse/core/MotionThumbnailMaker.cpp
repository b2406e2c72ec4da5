#include "browse/core/MotionThumbnailMaker.h"

#include <vector>

#include "RKWindow/IMImageGenerator.h"
#include "motion/MotionImport.h"

namespace tavrel {

CMotionThumbnailMaker::CMotionThumbnailMaker(std::string dataFolder)
    : dataFolder_(std::move(dataFolder)) {}

CMotionThumbnailMaker::~CMotionThumbnailMaker() = default;

ThumbnailPtr CMotionThumbnailMaker::Make(const std::string& path, int width, int height) {
    std::unique_ptr<ANIMFILE> motion = CMotionImport::OpenToShow(path, 0);
    if (!motion) return nullptr;
    motion->SetStreamMode(1);  // read up to the middle frame, not the whole file
    return MakeFrame(*motion, CIMImageGenerator::MiddleFrame(*motion), width, height);
}

ThumbnailPtr CMotionThumbnailMaker::MakeFrame(ANIMFILE& motion, int frame, int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    if (!picture_) {
        picture_ = std::make_unique<CIMImageGenerator>(dataFolder_);
        picture_->SetBackground(kBackground);
        if (!picture_->SetWindow(this)) {
            picture_.reset();
            return nullptr;
        }
    }
    if ((picture_->Width() != width || picture_->Height() != height) &&
        !picture_->SetImageSize(width, height)) {
        return nullptr;
    }
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    if (!picture_->DrawFrame(motion, frame, pixels.data())) return nullptr;
    auto picture = std::make_shared<ThumbnailPicture>();
    picture->width = width;
    picture->height = height;
    picture->rgb.resize(pixels.size() * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        picture->rgb[i * 3] = uint8_t(pixels[i] >> 16);
        picture->rgb[i * 3 + 1] = uint8_t(pixels[i] >> 8);
        picture->rgb[i * 3 + 2] = uint8_t(pixels[i]);
    }
    return picture;
}

ThumbnailMaker CMotionThumbnailMaker::Function() {
    return [this](const std::string& path, int width, int height) {
        return Make(path, width, height);
    };
}

}  // namespace tavrel
