#pragma once
// The motion record every motion file is read into: a skeleton of named segments, each with a
// scene-graph node and one local matrix per frame.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "AnimRead/ErrObj.h"
#include "ZU2/rkNode.h"

namespace tavrel {

class BLOCKREADER;

// One segment (bone) of a motion; owned by its motion.
struct ANIMSEG {
    static constexpr int kNameSize = 80;

    int32_t parent = -1;  // index in the motion's segments; -1 for a root or while unlinked
    std::vector<int32_t> children;
    char name[kNameSize] = {};
    rkNode* node = nullptr;  // holds the current pose; named and linked like the segment
    // One local matrix per frame; element 0 is the motion's begin frame. Kept contiguous
    // rather than one allocation per frame: reading and writing go much faster.
    std::vector<rkMatrix> frames;
    float length = 0.0f;

    ANIMSEG();  // raises code 0 when its node cannot be made
    ~ANIMSEG();
    ANIMSEG(const ANIMSEG&) = delete;
    ANIMSEG& operator=(const ANIMSEG&) = delete;

    void SetName(const char* text, size_t size);
    // The frame at index, clamped to the frames held; the node's matrix when there are none.
    const rkMatrix& FrameAt(int64_t index) const;
};

// One entry of the table GetSegmentLengths hands out.
struct ANIMSEGLENGTH {
    char name[ANIMSEG::kNameSize];
    float length;
};

// Abstract base of the motion-file classes. The operations are shared; each file class says
// only how its frames are read back from its file.
class ANIMFILE {
public:
    static constexpr int kPathSize = 261;  // a full path of up to 260 characters, as files enter the timeline
    static constexpr int32_t kVersion = 721;  // the CHA / CHB format version we read and write
    static constexpr int kFormatBvh = 2;      // Write's format for BVH text

    ANIMFILE() = default;
    virtual ~ANIMFILE();
    ANIMFILE(const ANIMFILE&) = delete;
    ANIMFILE& operator=(const ANIMFILE&) = delete;

    virtual int32_t GetBeginFrame() const;
    virtual int32_t GetEndFrame() const;
    virtual int32_t SetBeginFrame(int32_t n);
    virtual int32_t SetEndFrame(int32_t n);
    // Makes the frame (clamped into the motion's range) the current pose; returns the root node.
    virtual rkNode* GetFrame(int32_t frame);
    // Hands out a table of one entry per segment, in segment order; returns the entry count.
    virtual int32_t GetSegmentLengths(std::unique_ptr<ANIMSEGLENGTH[]>& table);
    // Stores a pose tree as the given frame, widening the range when the frame lies outside.
    virtual void SetFrame(const rkNode* pose, int32_t frame);
    // format 0 writes CHA text, kFormatBvh BVH text, anything else CHB. A file that cannot be created is skipped
    // (the result is false); a failed write raises code 3.
    virtual bool Write(int format);
    virtual bool WriteAs(const char* path, int format);
    // Like WriteAs, but frames still in the file go straight from the reader to the writer,
    // one at a time, and are not kept: the motion's memory stays that of its head. Meant for
    // a motion that is written and then dropped (a file converted as a whole).
    bool StreamAs(const char* path, int format);
    // Writes this skeleton over `frames` frames from the begin frame on, each the pose `next`
    // gives (in order; copied in as SetFrame does), keeping none of them: for a motion made
    // frame by frame that would not fit twice in memory. CHA or CHB only. False when a pose is
    // missing (null) or the file cannot be written; the record itself is left as it was.
    using PoseFeed = std::function<const rkNode*()>;
    bool WritePosesAs(const char* path, int format, int32_t frames, const PoseFeed& next);
    // Reads all frames still in the file, so that memory alone is the motion from now on.
    void LoadAllFrames();

    // Appends n new segments; raises code 0 when they cannot be allocated.
    void CreateSegments(int32_t n);

    int32_t GetStreamMode() const { return streamMode_; }
    void SetStreamMode(int32_t mode) { streamMode_ = mode; }
    const char* GetPath() const { return path_; }
    rkNode* GetRoot() const { return root_; }
    int64_t GetMotionOffset() const { return motionOffset_; }
    int32_t GetFrameRate() const { return frameRate_; }
    void SetFrameRate(int32_t rate) { frameRate_ = rate; }
    int32_t GetSegmentCount() const { return static_cast<int32_t>(segments_.size()); }
    ANIMSEG* GetSegment(int32_t i) const { return segments_[i].get(); }
    // The first segment with that exact name, or -1.
    int32_t FindSegment(const char* name) const;
    // The parent's name as the writers put it: "Global" for a segment without parent.
    const char* GetParentName(int32_t i) const;

protected:
    // Opens the file to read, reads what precedes the frames, then the frames as well when
    // preload is set; otherwise remembers where they start (the motion offset).
    void Load(int preload);
    // Reads the frames from the begin frame up to lastFrame from the file at the motion
    // offset, replacing the frames the segments held. Called only while the offset is set.
    void ReadFramesFromFile(int32_t lastFrame);

    // The file a motion is read from; HTR reads one file and writes another.
    virtual const char* ReadPath() const { return path_; }
    // Everything before the frames: header, lengths, hierarchy (HTR: and base position).
    virtual void ReadHead(BLOCKREADER& reader) = 0;
    // Frames from the begin frame up to lastFrame, from the reader's position on.
    virtual void ReadFrames(BLOCKREADER& reader, int32_t lastFrame) = 0;
    // Streaming: StartFrames reads what precedes the first frame and says whether the format
    // can hand out frames one at a time; ReadNextFrame then reads frame `frame` into one
    // matrix per segment, in segment order. Formats that store frames otherwise say no.
    virtual bool StartFrames(BLOCKREADER& reader);
    virtual void ReadNextFrame(BLOCKREADER& reader, int32_t frame, rkMatrix* matrices);

    // Fills this motion with the standard skeleton: one frame (0) in the rest pose.
    void BuildDefaultMotion();
    // Stores path in the path field; raises code 1 when it does not fit.
    void SetPath(const char* path);

    // A motion needs a root: refuses (code 2) a hierarchy in which no line names the parent
    // `global`, which every pose request, world position and writer starts from.
    void RequireRoot(const char* global) const;
    // Hierarchy entry i: child found from segment i on with wrap-around, "Global" makes it the
    // root, otherwise it is linked under the named parent. Returns false for a child that
    // matches no segment, was placed already, or would close a loop.
    bool ApplyHierarchyEntry(int32_t i, const char* child, const char* parent);
    // The segment with that name, searched once round from segment start on; -1 if none.
    int32_t FindSegmentFrom(int32_t start, const char* name, size_t size) const;
    // Every segment holds exactly count frames.
    bool AllSegmentsHold(size_t count) const;
    // Number of frames from the begin frame to last, 0 if last lies before the begin frame.
    int64_t FramesUpTo(int32_t last) const;

    // A file of the first standard skeleton (StandardSkeleton.h) is read onto today's: its
    // lengths when the head is read, its translations as the frames are.
    bool OnFirstStandardSkeleton() const;
    void ConvertFirstStandardMatrix(int32_t segment, rkMatrix* m) const;
    void ConvertFirstStandardFrames();

    int32_t streamMode_ = 0;
    bool firstStandard_ = false;
    char path_[kPathSize] = {};
    rkNode* root_ = nullptr;
    int64_t motionOffset_ = 0;  // where the frames start in the file; 0 once they are in memory
    int32_t beginFrame_ = 0;
    int32_t endFrame_ = 0;
    std::vector<std::unique_ptr<ANIMSEG>> segments_;
    int32_t frameRate_ = 30;

private:
    void WidenRange(int32_t frame);
    void CopyPoseInto(const rkNode* pose, rkNode* target);
    bool WouldCloseLoop(int32_t child, int32_t parent) const;
};

}  // namespace tavrel
