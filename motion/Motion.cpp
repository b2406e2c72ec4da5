#include "motion/Motion.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <new>

#include "base/DebugOutput.h"
#include "base/RegularFile.h"
#include "motion/AnimFileFactory.h"
#include "motion/MirrorPose.h"
#include "motion/MotionImport.h"
#include "motion/PoseBlender.h"
#include "motion/RepeatCycle.h"

namespace tavrel {
namespace {

// The longest path a file may have to enter the timeline; the gallery lists such files too.
constexpr size_t kMaxPath = 260;

std::string DescribeError(const std::string& path, const ERROBJ& error) {
    std::string text = path + ": code " + std::to_string(error.code) + ": " + error.GetText();
    if (error.detail[0]) text += std::string(": ") + error.detail;
    return text;
}

}  // namespace

CMotion::CMotion() : made_(true) {
    data_ = CreateAnimFile(nullptr, kTypeCHB, 1);
    // What the editing operations make is played frame for frame on the timeline.
    if (data_) data_->SetFrameRate(CMotionImport::kTimelineFrameRate);
    Refresh();
}

CMotion::CMotion(const std::string& path, int stream) {
    if (path.size() > kMaxPath) {
        DebugOutput("CMotion ctor(filename) failed: filename too long\n");
        return;
    }
    const MotionFileType type = MotionFileTypeOf(path);
    if (type == kTypeUnknown) {
        DebugOutput("CMotion ctor(filename) failed:filename extension not support!\n");
        return;
    }
    if (!IsRegularFile(path)) {
        DebugOutput("CMotion(filename) ctor failed: not exist.Please Enter your Full Pathname.\n");
        return;
    }
    path_ = path;
    data_ = CreateAnimFile(path.c_str(), type, 0);
    if (!data_) return;
    Refresh();
    if (stream) data_->SetStreamMode(1);
}

CMotion::~CMotion() = default;

// Serials are never reused, so a motion read again or edited is never taken for the old one.
uint64_t CMotion::NewSerial() {
    static std::atomic<uint64_t> next{1};
    return next++;
}

void CMotion::PosesChanged() {
    contacts_.reset();
    serial_ = NewSerial();
}

void CMotion::Refresh() {
    if (!data_) return;
    beginFrame_ = data_->GetBeginFrame();
    endFrame_ = data_->GetEndFrame();
    length_ = endFrame_ - beginFrame_ + 1;
}

int CMotion::SetLength(int n) {
    length_ = n;
    return 1;
}

int CMotion::GetFrameCount() const {
    if (!data_) return -1;
    return data_->GetEndFrame() - data_->GetBeginFrame() + 1;
}

std::unique_ptr<CHTR> CMotion::GetPose(int i) {
    const rkNode* root = ReadFrame(beginFrame_ + i);
    if (!root) return nullptr;
    return std::make_unique<CHTR>(rkCloneNode(root));
}

int CMotion::CopyPoseTo(CHTR& target, int i) {
    const rkNode* root = ReadFrame(beginFrame_ + i);
    if (!root) return 0;
    CHTR::CopyPose(root, target);
    return 1;
}

const rkNode* CMotion::ReadFrame(int frame) {
    if (!data_) return nullptr;
    try {
        return data_->GetFrame(frame);
    } catch (const ERROBJ& error) {
        DropData("GetPose", DescribeError(path_, error));
    } catch (const std::bad_alloc&) {
        DropData("GetPose", path_ + ": out of memory");
    }
    return nullptr;
}

bool CMotion::LoadFrames() {
    if (!data_) return false;
    try {
        data_->LoadAllFrames();
        return true;
    } catch (const ERROBJ& error) {
        DropData("SetPose", DescribeError(path_, error));
    } catch (const std::bad_alloc&) {
        DropData("SetPose", path_ + ": out of memory");
    }
    return false;
}

void CMotion::DropData(const char* operation, const std::string& reason) {
    readError_ = reason;
    PosesChanged();
    DebugOutput(std::string("CMotion::") + operation + " failed: " + reason + "\n");
    data_.reset();
}

int CMotion::SetPose(int frame, const CHTR& pose) {
    return StorePose(frame, pose.GetRoot());
}

int CMotion::StorePose(int frame, const rkNode* pose) {
    if (!LoadFrames()) return 0;
    data_->SetFrame(pose, frame);
    PosesChanged();
    if (frame > data_->GetEndFrame()) data_->SetEndFrame(frame);
    Refresh();
    return 1;
}

int CMotion::Shorten(int n) {
    if (beginFrame_ + n < endFrame_) {
        endFrame_ = beginFrame_ + n;
        return 1;
    }
    return 0;
}

bool CMotion::HasStandardSkeleton() const {
    return data_ && CMotionImport::HasStandardSkeleton(*data_);
}

const FootContacts& CMotion::GetFootContacts() {
    static const FootContacts kNone;
    if (!data_) return kNone;
    if (!contacts_) {
        contacts_ = FindFootContacts(
            length_, [this](int i) { return ReadFrame(beginFrame_ + i); }, data_->GetFrameRate());
        // A reader failing half-way dropped the data: what was found is not the motion's.
        if (!data_) contacts_.reset();
    }
    return contacts_ ? *contacts_ : kNone;
}

int CMotion::Save(const std::string& path) {
    const MotionFileType type = MotionFileTypeOf(path);
    if (type == kTypeUnknown) {
        DebugOutput("CMotion Save() failed:filename extension not support!\n");
        return 0;
    }
    // HTR is an import format: text written under that name could never be read back.
    if (type == kTypeHTR) {
        DebugOutput("CMotion Save() failed: HTR files are read only.\n");
        return 0;
    }
    if (!HasStandardSkeleton()) {
        DebugOutput("CMotion Save() failed: motion does not have the standard skeleton.\n");
        return 0;
    }
    if (!WriteRecord(path, WriteFormatOf(type))) {
        DebugOutput("CMotion Save() failed: file cannot be created.\n");
        return 0;
    }
    path_ = path;
    return 1;
}

bool CMotion::WriteRecord(const std::string& path, int format) {
    // What an edit made is a record of the standard skeleton from frame 0 already.
    if (made_ && beginFrame_ == 0 && endFrame_ == data_->GetEndFrame())
        return data_->WriteAs(path.c_str(), format);
    // Any writable type starts from the standard skeleton's record.
    std::unique_ptr<ANIMFILE> record = CreateAnimFile(nullptr, kTypeCHB, 1);
    if (!record) return false;
    record->SetFrameRate(data_->GetFrameRate());  // an edit keeps its source's speed
    // The last frame first: the record grows to its length once rather than frame by frame.
    if (const rkNode* last = ReadFrame(endFrame_)) record->SetFrame(last, endFrame_ - beginFrame_);
    for (int f = beginFrame_, k = 0; f <= endFrame_; ++f, ++k) {
        const rkNode* pose = ReadFrame(f);
        if (!pose) return false;
        record->SetFrame(pose, k);
    }
    return record->WriteAs(path.c_str(), format);
}

void CMotion::KeepRateOf(const CMotion& source) {
    if (data_ && source.data_) data_->SetFrameRate(source.data_->GetFrameRate());
}

int CMotion::SaveReversed(const std::string& path) {
    if (length_ < 2 || !HasStandardSkeleton()) return 0;
    CMotion reversed;
    reversed.KeepRateOf(*this);
    for (int k = 0; k < length_; ++k) {
        const rkNode* pose = ReadFrame(beginFrame_ + length_ - 1 - k);
        if (!pose) return 0;
        reversed.StorePose(k, pose);
    }
    return reversed.Save(path);
}

int CMotion::SaveMirrored(const std::string& path, std::string* problem) {
    if (!HasStandardSkeleton()) return 0;
    std::unique_ptr<CHTR> pose = GetPose(0);
    std::unique_ptr<CHTR> mirrored = GetPose(0);
    if (!pose || !mirrored) return 0;
    const MirrorPairs pairs = FindMirrorPairs(pose->GetRoot());
    if (!pairs.Valid()) {
        DebugOutput("CMotion::SaveMirrored failed: " + pairs.problem + "\n");
        if (problem) *problem = pairs.problem;
        return 0;
    }
    const MirrorPlane plane = SagittalPlaneOf(pose->GetRoot());
    CMotion result;
    result.KeepRateOf(*this);
    for (int i = 0; i < length_; ++i) {
        if (!CopyPoseTo(*pose, i)) return 0;
        MirrorPose(pose->GetRoot(), pairs, plane, mirrored->GetRoot());
        result.SetPose(i, *mirrored);
    }
    return result.Save(path);
}

int CMotion::SaveRepeated(const std::string& path, int times) {
    if (length_ < 2 || !HasStandardSkeleton()) return 0;
    const MotionFileType type = MotionFileTypeOf(path);
    if (type != kTypeCHA && type != kTypeCHB) return 0;
    const int blend = FramesOf(RepeatLimits::kSeamSeconds, float(data_->GetFrameRate()));
    CCycleRepeat repeat(
        length_, [this](int i) { return ReadFrame(beginFrame_ + i); }, GetFootContacts(), times,
        blend);
    std::unique_ptr<ANIMFILE> record = CreateAnimFile(nullptr, kTypeCHB, 1);
    if (!repeat.Ready() || !record) return 0;
    record->SetFrameRate(data_->GetFrameRate());
    // Streamed into the file: ten repeats of a long take need not be held in memory.
    return record->WritePosesAs(path.c_str(), WriteFormatOf(type), repeat.Frames(),
                                [&] { return repeat.Next(); });
}

int CMotion::SaveSplit(int n, const std::string& pathA, const std::string& pathB) {
    if (n < 1 || !HasStandardSkeleton()) return 0;
    CMotion first, second;
    first.KeepRateOf(*this);
    second.KeepRateOf(*this);
    for (int k = 0; k < length_; ++k) {
        const rkNode* pose = ReadFrame(beginFrame_ + k);
        if (!pose) return 0;
        if (k < n) {
            first.StorePose(k, pose);
        } else {
            second.StorePose(k - n, pose);
        }
    }
    // Both halves are written whatever the first one's result; either failing fails the split.
    const int savedA = first.Save(pathA);
    const int savedB = second.Save(pathB);
    return savedA && savedB;
}

int CMotion::Resample(const std::string& path, int newLength, SpeedCurve curve) {
    if (newLength < 2 || length_ < 1 || curve >= kSpeedCurveCount || !HasStandardSkeleton())
        return 0;
    CMotion result;
    result.KeepRateOf(*this);
    std::unique_ptr<CHTR> a = GetPose(0);
    std::unique_ptr<CHTR> b = GetPose(0);
    std::unique_ptr<CHTR> mixed = GetPose(0);
    if (!a || !b || !mixed) return 0;
    for (int k = 0; k < newLength; ++k) {
        const double t = SourcePosition(curve, k, newLength, length_);
        const int i = int(t);
        const double f = t - i;
        if (!CopyPoseTo(*a, i)) return 0;
        if (f == 0.0 || i + 1 >= length_) {
            result.SetPose(k, *a);
            continue;
        }
        if (!CopyPoseTo(*b, i + 1)) return 0;
        CPoseBlender::BlendInto(a->GetRoot(), b->GetRoot(), float(1.0 - f), mixed->GetRoot());
        result.SetPose(k, *mixed);
    }
    return result.Save(path);
}

int CMotion::SaveTranslated(const std::string& path, float x, float y, float z, int absolute) {
    if (!HasStandardSkeleton()) return 0;
    // A root at NaN or infinity would be written into every frame.
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
        DebugOutput("CMotion::SaveTranslated failed: the translation is not a finite number.\n");
        return 0;
    }
    CMotion result;
    result.KeepRateOf(*this);
    std::unique_ptr<CHTR> pose = GetPose(0);
    if (!pose) return 0;
    for (int i = 0; i < length_; ++i) {
        if (!CopyPoseTo(*pose, i)) return 0;
        MoveRoot(*pose, x, y, z, absolute);
        result.SetPose(i, *pose);
    }
    return result.Save(path);
}

int CMotion::RotatePart(const char* name, float w, float x, float y, float z, int absolute) {
    // Storing turned poses must not start the reader half-way through.
    if (!LoadFrames()) return 0;
    std::unique_ptr<CHTR> pose = GetPose(0);
    if (!pose) return 0;
    for (int i = 0; i < length_; ++i) {
        if (!CopyPoseTo(*pose, i)) return 0;
        if (!pose->SetQuatByName(name, w, x, y, z, absolute)) return 0;
        data_->SetFrame(pose->GetRoot(), beginFrame_ + i);
    }
    PosesChanged();
    Refresh();
    return 1;
}

int MoveRoot(CHTR& pose, float x, float y, float z, int absolute) {
    rkNode* root = pose.GetRoot();
    if (!root) return 0;
    if (!absolute) {
        rkTranslateNode(root, x, y, z);
    } else {
        root->local.m[12] = x;
        root->local.m[13] = y;
        root->local.m[14] = z;
        root->flags |= RK_NODE_CHANGED;
    }
    return 1;
}

}  // namespace tavrel
