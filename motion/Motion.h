#pragma once
// A motion: one clip opened from a CHA, CHB or HTR file, with pose access and the editing
// operations that write new motion files.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "AnimRead/AnimFile.h"
#include "motion/Chtr.h"
#include "motion/FootContacts.h"
#include "motion/SpeedCurve.h"

namespace tavrel {

class CMotionBase {
public:
    virtual ~CMotionBase() = default;
    virtual int GetLength() const = 0;
    virtual int SetLength(int n) = 0;
    virtual std::unique_ptr<CHTR> GetPose(int i) = 0;
    virtual int SetPose(int frame, const CHTR& pose) = 0;
    virtual int Shorten(int n) = 0;

protected:
    int length_ = 0;
};

class CMotion : public CMotionBase {
public:
    // An empty target for the editing operations: the standard skeleton, one frame.
    CMotion();
    // Opens the file; a motion whose file cannot be read has no data (GetFrameCount() == -1).
    CMotion(const std::string& path, int stream);
    ~CMotion() override;

    int GetLength() const override { return length_; }
    int SetLength(int n) override;
    bool HasData() const { return data_ != nullptr; }
    ANIMFILE* GetData() const { return data_.get(); }
    const std::string& GetPath() const { return path_; }
    int GetBeginFrame() const { return beginFrame_; }
    int GetEndFrame() const { return endFrame_; }
    int GetFrameCount() const;

    // Pose i counted from 0 at the begin frame, as a deep copy the caller owns. None without
    // data, and none when the frames cannot be read (see GetReadError).
    std::unique_ptr<CHTR> GetPose(int i) override;
    // Copies pose i into the target: into its tree when that has this motion's shape
    // (allocating nothing), as a new tree otherwise. 0 (the target untouched) without pose i.
    int CopyPoseTo(CHTR& target, int i);
    // Frames are read from the file at the first pose request, so a file whose head is sound
    // can still fail there. The motion then drops its data (as if the file had not opened) and
    // keeps the reader's message here: "PATH: code C: TEXT[: DETAIL]". Empty otherwise.
    const std::string& GetReadError() const { return readError_; }
    // Stores the pose as frame number `frame` (not an index), widening the range.
    int SetPose(int frame, const CHTR& pose) override;
    int Shorten(int n) override;

    // Writes this motion to a new file renumbered from frame 0, in the format of the extension.
    // Refuses (0) an unknown extension or a skeleton that is not the standard one.
    // A failed write raises ERROBJ code 3.
    int Save(const std::string& path);
    int SaveReversed(const std::string& path);
    // The motion's mirror image (see MirrorPose). Refuses a figure whose left and right cannot
    // be paired, saying why in `problem` when given.
    int SaveMirrored(const std::string& path, std::string* problem = nullptr);
    // The motion played `times` times, walking on (see RepeatCycle).
    int SaveRepeated(const std::string& path, int times);
    int SaveSplit(int n, const std::string& pathA, const std::string& pathB);
    // The motion played in newLength frames, its speed following the curve (see SpeedCurve).
    int Resample(const std::string& path, int newLength, SpeedCurve curve = kSpeedConstant);
    int SaveTranslated(const std::string& path, float x, float y, float z, int absolute);
    // Turns one segment in every frame of this motion; nothing is saved.
    int RotatePart(const char* name, float w, float x, float y, float z, int absolute);

    // Whether the data has the standard skeleton's shape, names and order.
    bool HasStandardSkeleton() const;

    // The feet's plants, found at the first request and kept until the poses change. None
    // without data.
    const FootContacts& GetFootContacts();
    // Names these poses in this process: it changes whenever the poses do.
    uint64_t Serial() const { return serial_; }

private:
    static uint64_t NewSerial();
    void PosesChanged();
    void Refresh();
    // An edit's result plays at the speed of the motion it was made from.
    void KeepRateOf(const CMotion& source);
    int StorePose(int frame, const rkNode* pose);
    // The data's frame (a frame number), or null when there is no data or the reader fails.
    // Every frame this motion reads comes through here.
    const rkNode* ReadFrame(int frame);
    // All frames in memory, so that storing a pose cannot make the reader run; false when
    // the reader fails.
    bool LoadFrames();
    void DropData(const char* operation, const std::string& reason);
    // Writes frames begin to end renumbered from 0 in the format (see ANIMFILE::WriteAs).
    bool WriteRecord(const std::string& path, int format);

    bool made_ = false;  // a new record of the editing operations rather than a file's
    int beginFrame_ = 0;
    int endFrame_ = 0;
    std::string path_;
    std::unique_ptr<ANIMFILE> data_;
    std::string readError_;
    std::optional<FootContacts> contacts_;
    uint64_t serial_ = NewSerial();
};

// Moves a pose's root: by (x, y, z) when absolute is 0, to (x, y, z) otherwise.
int MoveRoot(CHTR& pose, float x, float y, float z, int absolute);

}  // namespace tavrel
