#include "browse/core/MotionThumbnailMaker.h"

#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "RKWindow/IMImageGenerator.h"
#include "browse/core/MotionFolder.h"
#include "motion/MotionImport.h"

namespace tavrel {

CMotionThumbnailMaker::CMotionThumbnailMaker(std::string dataFolder)
    : dataFolder_(std::move(dataFolder)) {}

CMotionThumbnailMaker::~CMotionThumbnailMaker() = default;

ThumbnailPtr CMotionThumbnailMaker::Make(const std::string& path, int width, int height) {
    // Read whole once: the gallery lists files unread, so this is where a file cut short is
    // found; its reason is kept as the picture is, and the file not read again until it changes.
    std::string reason;
    std::unique_ptr<ANIMFILE> motion = OpenWholeMotion(path, &reason);
    if (motion && !CMotionImport::HasStandardSkeleton(*motion)) {
        CSkeletonMapper::Result mapped = CMotionImport::Import(*motion, {}, 0);
        motion = std::move(mapped.motion);
        if (!motion) reason = "Cannot be shown: " + mapped.message;
    }
    if (!motion) return Unshown(reason, width, height);
    return MakeFrame(*motion, CIMImageGenerator::MiddleFrame(*motion), width, height);
}

ThumbnailPtr CMotionThumbnailMaker::Unshown(const std::string& reason, int width, int height) {
    auto unshown = std::make_shared<ThumbnailPicture>();
    unshown->width = width;
    unshown->height = height;
    unshown->problem = reason;
    return unshown;
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

void CMotionThumbnailMaker::Release() {
    if (!picture_) return;
    picture_.reset();
#ifdef __GLIBC__
    // Freed on a worker thread, the memory stays in that thread's arena, which glibc keeps for
    // the next thread: trimming hands its free pages back.
    malloc_trim(0);
#endif
}

ThumbnailMaker CMotionThumbnailMaker::Function() {
    return [this](const std::string& path, int width, int height) {
        return Make(path, width, height);
    };
}

}  // namespace tavrel
