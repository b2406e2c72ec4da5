#include "RKWindow/IMImageGenerator.h"

#include <algorithm>

#include "base/DebugOutput.h"
#include "motion/MotionImport.h"

namespace tavrel {

namespace {
constexpr int kDefaultSide = 50;
}

CIMImageGenerator::CIMImageGenerator(std::string dataFolder) : dataFolder_(std::move(dataFolder)) {}

CIMImageGenerator::~CIMImageGenerator() {
    TearDown();
}

void CIMImageGenerator::TearDown() {
    if (host_ && system_) host_->MakeCurrent();
    system_.reset();
    host_.reset();
}

bool CIMImageGenerator::SetWindow(const void* window) {
    if (!window) {
        DebugOutput("CIMImageGenerator::SetWindow() failed: CWnd pointer is NULL\n");
        return false;
    }
    TearDown();
    window_ = window;
    host_ = std::make_unique<rkEglHost>();
    system_ = std::make_unique<CRKSystem>();
    if (!host_->Create(kDefaultSide, kDefaultSide) ||
        !system_->Initialise(host_.get(), kDefaultSide, kDefaultSide)) {
        DebugOutput("CIMImageGenerator::SetWindow() failed:CIMWindow init failed.\n");
        TearDown();
        return false;
    }
    system_->SetBackgroundColor(background_[0], background_[1], background_[2], true);
    system_->SetUpWorld(dataFolder_);
    width_ = height_ = kDefaultSide;
    host_->DoneCurrent();
    return true;
}

bool CIMImageGenerator::SetImageSize(int width, int height) {
    if (width <= 0 || height <= 0) {
        DebugOutput("CIMImageGenerator::SetImageSize() failed: width or height < 0 \n");
        return false;
    }
    if (!system_) {
        DebugOutput("CIMImageGenerator::SetImageSize() failed: not inited!\n");
        return false;
    }
    system_->SetWindowRect(0, 0, width, height);
    system_->PresetCamera(RKViewport::Front);
    width_ = width;
    height_ = height;
    return true;
}

void CIMImageGenerator::SetBackground(const uint8_t rgb[3]) {
    std::copy(rgb, rgb + 3, background_);
    if (system_) system_->SetBackgroundColor(rgb[0], rgb[1], rgb[2], true);
}

int CIMImageGenerator::MiddleFrame(const ANIMFILE& motion) {
    return motion.GetBeginFrame() + (motion.GetEndFrame() - motion.GetBeginFrame()) / 2;
}

bool CIMImageGenerator::DrawFrame(ANIMFILE& motion, int frame, uint32_t* pixels) {
    if (!system_) return false;
    rkNode* pose = nullptr;
    try {
        pose = motion.GetFrame(frame);
    } catch (...) {
        return false;  // frames read on demand raise ERROBJ where the file is cut short
    }
    if (!host_->MakeCurrent()) return false;
    system_->PoseAvatar(pose);
    // The camera's angle spans the width: a wide view steps back to keep the whole body.
    system_->sceneScale = std::max(1.0f, float(width_) / float(height_));
    system_->PresetCamera(RKViewport::Front);
    const bool drawn = system_->DrawScene(nullptr) && rkReadFrame(RK_READ_COLOR, pixels);
    host_->DoneCurrent();
    if (!drawn) return false;
    for (int i = 0, n = width_ * height_; i < n; ++i) pixels[i] |= 0xFF000000u;
    return true;
}

std::unique_ptr<CRImage> CIMImageGenerator::GetPicture(const std::string& motionPath) {
    if (!system_) {
        DebugOutput("CIMImageGenerator::GetImage() failed: not inited!\n");
        return nullptr;
    }
    std::unique_ptr<ANIMFILE> motion = CMotionImport::OpenToShow(motionPath, 0);
    if (!motion || motion->GetEndFrame() < motion->GetBeginFrame()) {
        DebugOutput("CIMImageGenerator::GetImage() failed: cannot read " + motionPath + "\n");
        return nullptr;
    }
    // Streamed: the picture needs the frames up to the middle one, not the whole file.
    motion->SetStreamMode(1);
    frame_.resize(size_t(width_) * height_);
    std::unique_ptr<CRImage> picture;
    if (DrawFrame(*motion, MiddleFrame(*motion), frame_.data())) {
        rgb_.resize(frame_.size() * 3);
        for (size_t i = 0; i < frame_.size(); ++i) {
            rgb_[i * 3] = (frame_[i] >> 16) & 0xFF;
            rgb_[i * 3 + 1] = (frame_[i] >> 8) & 0xFF;
            rgb_[i * 3 + 2] = frame_[i] & 0xFF;
        }
        picture = std::make_unique<CRImage>();
        if (!picture->CreateFromPixels(width_, height_, rgb_.data(), width_ * 3)) picture.reset();
    }
    if (!picture) DebugOutput("CIMImageGenerator::GetImage() failed: cannot draw.\n");
    return picture;
}

std::unique_ptr<CRBitmap> CIMImageGenerator::GetImage(const std::string& motionPath) {
    std::unique_ptr<CRImage> picture = GetPicture(motionPath);
    return picture ? picture->GetHBITMAP() : nullptr;
}

}  // namespace tavrel
