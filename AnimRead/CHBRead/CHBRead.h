#pragma once
// A motion read from CHB, the byte-level twin of CHA text.
#include "AnimRead/AnimFile.h"

namespace tavrel {

class BLOCKREADER;

class CHBREAD : public ANIMFILE {
public:
    // The standard skeleton in its rest pose; no file is touched.
    CHBREAD();
    // Reads header, lengths and hierarchy; the frames too when preload is non-zero, otherwise
    // at the first pose request. Raises ERROBJ on any failure.
    CHBREAD(const char* path, int preload);

protected:
    void ReadHead(BLOCKREADER& reader) override;
    void ReadFrames(BLOCKREADER& reader, int32_t lastFrame) override;
    bool StartFrames(BLOCKREADER& reader) override;
    void ReadNextFrame(BLOCKREADER& reader, int32_t frame, rkMatrix* matrices) override;

private:
    void ReadHeader(BLOCKREADER& reader);
    void ReadLengths(BLOCKREADER& reader);
    void ReadHierarchy(BLOCKREADER& reader);
};

}  // namespace tavrel
