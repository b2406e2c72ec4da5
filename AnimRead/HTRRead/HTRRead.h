#pragma once
// A motion imported from HTR motion-capture text. Never written as HTR: Write and WriteAs make
// CHA text or CHB, by default beside the source under the extension letters "CHA".
#include <vector>

#include "AnimRead/AnimFile.h"

namespace tavrel {

class BLOCKREADER;

class HTRREAD : public ANIMFILE {
public:
    // The standard skeleton in its rest pose; no file is touched.
    HTRREAD();
    // Reads header, hierarchy and base position; the frames too when preload is non-zero.
    // Raises ERROBJ on any failure, code 5 for conventions the reader does not support.
    HTRREAD(const char* path, int preload);

    int32_t GetSegmentLengths(std::unique_ptr<ANIMSEGLENGTH[]>& table) override;

    const char* GetSourcePath() const { return sourcePath_; }
    int32_t GetRootIndex() const { return rootIndex_; }
    float GetScaleFactor() const { return scale_; }
    const rkMatrix& GetBaseMatrix(int32_t segment) const { return base_[segment]; }
    float GetBoneLength(int32_t segment) const { return boneLength_[segment]; }

protected:
    const char* ReadPath() const override { return sourcePath_; }
    void ReadHead(BLOCKREADER& reader) override;
    // Every segment section, keeping the frames up to lastFrame.
    void ReadFrames(BLOCKREADER& reader, int32_t lastFrame) override;

private:
    void ReadHeader(BLOCKREADER& reader);
    void ReadHierarchy(BLOCKREADER& reader);
    int32_t NameSegment(std::string_view name, int32_t* named);
    void ReadBasePosition(BLOCKREADER& reader);
    void ReadSection(BLOCKREADER& reader, int32_t index, int64_t frames);

    char sourcePath_[kPathSize] = {};
    int32_t rootIndex_ = -1;
    float scale_ = 1.0f;
    std::vector<rkMatrix> base_;
    std::vector<float> boneLength_;
};

}  // namespace tavrel
