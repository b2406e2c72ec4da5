#include "RKWindow/MotionPicture.h"

#include "RKWindow/RKSystem.h"
#include "ZU2/rkEglHost.h"
#include "base/DebugOutput.h"

CMotionPicture::CMotionPicture() = default;

CMotionPicture::~CMotionPicture() {
    // The system releases its device with the context current; on whichever thread ends it.
    if (host_) host_->MakeCurrent();
    system_.reset();
    host_.reset();
}

bool CMotionPicture::Create(int width, int height, const std::string& dataFolder,
                            const uint8_t background[3]) {
    host_ = std::make_unique<rkEglHost>();
    if (!host_->Create(width, height)) {
        tavrel::DebugOutput("CMotionPicture::Create failed: no EGL context.\n");
        host_.reset();
        return false;
    }
    system_ = std::make_unique<CRKSystem>();
    if (!system_->Initialise(host_.get(), width, height)) {
        tavrel::DebugOutput("CMotionPicture::Create failed: no render device.\n");
        system_.reset();
        host_.reset();
        return false;
    }
    system_->SetBackgroundColor(background[0], background[1], background[2], true);
    system_->SetUpWorld(dataFolder);
    width_ = width;
    height_ = height;
    host_->DoneCurrent();
    return true;
}

bool CMotionPicture::HasAvatar() const {
    return system_ && system_->Avatar();
}

bool CMotionPicture::Draw(ANIMFILE& motion, int frame, int camera, float scale, uint32_t* pixels) {
    if (!system_) return false;
    system_->PoseAvatar(motion.GetFrame(frame));
    system_->sceneScale = scale;
    system_->PresetCamera(camera);
    const bool drawn = system_->DrawScene(nullptr) && rkReadFrame(RK_READ_COLOR, pixels);
    host_->DoneCurrent();
    if (!drawn) return false;
    for (int i = 0, n = width_ * height_; i < n; ++i) pixels[i] |= 0xFF000000u;
    return true;
}

int32_t MotionPictureFrame(const ANIMFILE& motion) {
    return motion.GetBeginFrame() + (motion.GetEndFrame() - motion.GetBeginFrame()) / 2;
}
