#include "RKWindow/IMImageGenerator.h"

#include "base/DebugOutput.h"
#include "motion/AnimFileFactory.h"

using tavrel::DebugOutput;

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
    system_->SetBackgroundColor(kBackground[0], kBackground[1], kBackground[2], true);
    system_->SetUpWorld(dataFolder_);
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
    return true;
}

std::unique_ptr<tavrel::CRImage> CIMImageGenerator::GetPicture(const std::string& motionPath) {
    if (!system_) {
        DebugOutput("CIMImageGenerator::GetImage() failed: not inited!\n");
        return nullptr;
    }
    const int type = tavrel::MotionFileTypeOf(motionPath);
    std::unique_ptr<ANIMFILE> motion = type == tavrel::kTypeUnknown
                                           ? nullptr
                                           : tavrel::CreateAnimFile(motionPath.c_str(), type, 0);
    if (!motion || motion->GetEndFrame() < motion->GetBeginFrame()) {
        DebugOutput("CIMImageGenerator::GetImage() failed: cannot read " + motionPath + "\n");
        return nullptr;
    }
    if (!host_->MakeCurrent()) {
        DebugOutput("CIMImageGenerator::GetImage() failed: no context on this thread.\n");
        return nullptr;
    }
    system_->PoseAvatar(motion->GetFrame((motion->GetBeginFrame() + motion->GetEndFrame()) / 2));
    std::unique_ptr<tavrel::CRImage> picture;
    if (system_->DrawScene(nullptr)) {
        const int width = system_->Device().width, height = system_->Device().height;
        frame_.resize(size_t(width) * height);
        rgb_.resize(frame_.size() * 3);
        if (rkReadFrame(RK_READ_COLOR, frame_.data())) {
            for (size_t i = 0; i < frame_.size(); ++i) {
                rgb_[i * 3] = (frame_[i] >> 16) & 0xFF;
                rgb_[i * 3 + 1] = (frame_[i] >> 8) & 0xFF;
                rgb_[i * 3 + 2] = frame_[i] & 0xFF;
            }
            picture = std::make_unique<tavrel::CRImage>();
            if (!picture->CreateFromPixels(width, height, rgb_.data(), width * 3)) picture.reset();
        }
    }
    host_->DoneCurrent();
    if (!picture) DebugOutput("CIMImageGenerator::GetImage() failed: cannot draw.\n");
    return picture;
}

std::unique_ptr<tavrel::CRBitmap> CIMImageGenerator::GetImage(const std::string& motionPath) {
    std::unique_ptr<tavrel::CRImage> picture = GetPicture(motionPath);
    return picture ? picture->GetHBITMAP() : nullptr;
}
