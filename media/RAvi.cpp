#include "media/RAvi.h"

#include "base/DebugOutput.h"

namespace tavrel {

CRAvi::CRAvi() : reader_(std::make_unique<CAviFile>()) {}
CRAvi::~CRAvi() {
    Unload();
}

void CRAvi::Unload() {
    if (reader_->IsOpen()) {
        reader_->EndFrames(0);
        reader_->Close();
    }
    path_.clear();
    videoStreams_ = 0;
    format_ = {};
    length_ = 0;
}

bool CRAvi::Load(const std::string& path) {
    Unload();
    if (!reader_->Open(path)) {
        DebugOutput("CRAvi::Load() failed: cannot open avi file.\n");
        return false;
    }
    videoStreams_ = reader_->VideoStreamCount();
    if (videoStreams_ == 0 || !reader_->BeginFrames(0)) {
        DebugOutput("CRAvi::Load() failed:stream count is zero.\n");
        reader_->Close();
        videoStreams_ = 0;
        return false;
    }
    reader_->Format(0, &format_);
    path_ = path;
    length_ = reader_->Duration(0);
    // A file whose first frame cannot be decoded stays loaded, so that showing it again does
    // not open it again; it just gives no frames.
    if (!reader_->FrameAt(0, 0)) {
        DebugOutput("CRAvi::Load() failed: no frame at time 0.\n");
        return false;
    }
    return true;
}

const CAviFrame* CRAvi::FrameAt(int64_t ms) {
    return IsLoaded() ? reader_->FrameAt(0, ms) : nullptr;
}

std::unique_ptr<CRImage> CRAvi::GetFrameAt(int64_t ms) {
    const CAviFrame* frame = FrameAt(ms);
    if (!frame) return nullptr;
    auto picture = std::make_unique<CRImage>();
    if (!picture->CreateFromPixels(frame->width, frame->height, frame->rgb.data(), frame->stride)) {
        DebugOutput("CRAvi::GetFrameAt() failed: the frame cannot become a picture.\n");
        return nullptr;
    }
    return picture;
}

}  // namespace tavrel
