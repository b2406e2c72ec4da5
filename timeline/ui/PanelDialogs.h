#pragma once
// The dialogs the timeline panel opens, behind an interface so that tests answer them.
#include <string>
#include <vector>

namespace tavrel {

enum class FileKind { kMotion, kPose, kVideo, kImages, kSound };

class CPanelDialogs {
public:
    virtual ~CPanelDialogs() = default;
    // The files the user picked (one, or several for images); none when cancelled.
    virtual std::vector<std::string> AskOpenFiles(FileKind kind) = 0;
    virtual void ShowMessage(const std::string& text) = 0;
    // A whole number from least to most, starting at `start` (kept inside); 0 when cancelled.
    virtual int AskNumber(const std::string& question, int least, int most, int start) = 0;
    // Starts the desktop's mixer; false when there is none.
    virtual bool OpenVolumeControl() = 0;
};

// Frame count of a video file, or -1 when it cannot be read.
class CMediaProbe {
public:
    virtual ~CMediaProbe() = default;
    virtual int VideoFrameCount(const std::string& path) = 0;
};

// Reads no video: every video is refused.
class CNullMediaProbe : public CMediaProbe {
public:
    int VideoFrameCount(const std::string&) override { return -1; }
};

}  // namespace tavrel
