#pragma once
// A motion read from, and written as, CHA text.
#include <vector>

#include "AnimRead/AnimFile.h"

namespace tavrel {

class BLOCKREADER;

class CHAREAD : public ANIMFILE {
public:
    // The standard skeleton in its rest pose; no file is touched.
    CHAREAD();
    // Reads header, lengths and hierarchy; the frames too when preload is non-zero, otherwise
    // at the first pose request. Raises ERROBJ on any failure.
    CHAREAD(const char* path, int preload);

protected:
    void ReadHead(BLOCKREADER& reader) override;
    void ReadFrames(BLOCKREADER& reader, int32_t lastFrame) override;
    bool StartFrames(BLOCKREADER& reader) override;
    void ReadNextFrame(BLOCKREADER& reader, int32_t frame, rkMatrix* matrices) override;

private:
    void ReadHeader(BLOCKREADER& reader);
    void ReadLengths(BLOCKREADER& reader);
    void ReadHierarchy(BLOCKREADER& reader);
    std::vector<int32_t> hits_;  // segment lines per segment in the frame being read
};

}  // namespace tavrel
