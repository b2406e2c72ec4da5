#pragma once
// A motion read from BVH text: a joint hierarchy with offsets and channels, then one line of
// channel values per frame. Joints become segments (End Sites do not); the file's Y-up world is
// turned into the motion's Z-up world at the root, so poses stand like every other motion's.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "AnimRead/AnimFile.h"

namespace tavrel {

class BLOCKREADER;

class BVHREAD : public ANIMFILE {
public:
    // Larger skeletons are refused: nobody captures them and the pose tree is walked recursively.
    static constexpr int32_t kMaxJoints = 1024;

    enum Channel : uint8_t { kXpos, kYpos, kZpos, kXrot, kYrot, kZrot };

    // What the hierarchy says of one joint; index equals the segment's.
    struct JOINT {
        rkVector offset{};
        std::vector<Channel> channels;  // in the file's order
        std::optional<rkVector> endSite;
    };

    // Reads the hierarchy and the frame count; the frames too when preload is non-zero. Raises
    // ERROBJ: code 2 with the line for anything malformed, code 5 for what is not supported.
    BVHREAD(const char* path, int preload);

    const JOINT& GetJoint(int32_t segment) const { return joints_[segment]; }
    float GetFrameTime() const { return frameTime_; }

    // The local matrix of a joint from its channel values (degrees, file units), Y-up file
    // coordinates; the root's is turned into Z-up by the caller.
    static rkMatrix JointMatrix(const JOINT& joint, const float* values);

protected:
    void ReadHead(BLOCKREADER& reader) override;
    void ReadFrames(BLOCKREADER& reader, int32_t lastFrame) override;

private:
    class TOKENS;
    void ReadHierarchy(TOKENS& tokens);
    void ReadJointBody(TOKENS& tokens, int32_t index);
    void ReadChannels(TOKENS& tokens, JOINT& joint);
    void ReadMotionHead(TOKENS& tokens, int64_t remaining);
    int32_t AddJoint(TOKENS& tokens, int32_t parent);
    void SetLengths();
    [[noreturn]] void RaiseValueCount(const TOKENS& tokens, int64_t frame, int32_t value) const;

    std::vector<JOINT> joints_;
    int32_t channelCount_ = 0;
    float frameTime_ = 0.0f;
    int headLines_ = 0;  // lines before the first frame, for error line numbers
};

}  // namespace tavrel
