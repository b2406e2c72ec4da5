#include "motion/MotionImport.h"

#include <cstring>

#include "AnimRead/CHBRead/CHBRead.h"
#include "AnimRead/SceneFileRead/SceneFileRead.h"
#include "motion/AnimFileFactory.h"

namespace tavrel {
namespace {

// A resampled motion longer than this is refused rather than held in memory (20 minutes at 60).
constexpr int64_t kMaxImportedFrames = 72000;

bool SameTreeShape(const rkNode* a, const rkNode* b) {
    if (!a || !b || std::strcmp(a->name, b->name) != 0) return false;
    const rkNode* ca = a->child;
    const rkNode* cb = b->child;
    for (; ca && cb; ca = ca->next, cb = cb->next) {
        if (ca->next == ca || cb->next == cb) return false;
        if (!SameTreeShape(ca, cb)) return false;
    }
    return !ca && !cb;
}

std::string ErrorText(const ERROBJ& error) {
    return std::string(error.GetText()) + (error.detail[0] ? std::string(": ") + error.detail : "");
}

// The source's frames copied joint for joint into a record of the program's own format.
CSkeletonMapper::Result Copied(ANIMFILE& source) {
    CSkeletonMapper::Result result;
    auto copy = std::make_unique<CHBREAD>();
    for (int32_t f = source.GetBeginFrame(), k = 0; f <= source.GetEndFrame(); ++f, ++k) {
        copy->SetFrame(source.GetFrame(f), k);
    }
    copy->SetFrameRate(source.GetFrameRate());
    for (int32_t s = 0; s < kStandardSegmentCount; ++s) {
        result.joints[s] = source.FindSegment(kStandardSkeleton[s].name);
    }
    result.unit = "mm";  // ours: the standard skeleton is measured in millimetres
    result.motion = std::move(copy);
    return result;
}

}  // namespace

bool CMotionImport::HasStandardSkeleton(const ANIMFILE& motion) {
    static const std::unique_ptr<ANIMFILE> standard = CreateAnimFile(nullptr, kTypeCHB, 1);
    return standard && motion.GetSegmentCount() == standard->GetSegmentCount() &&
           SameTreeShape(motion.GetRoot(), standard->GetRoot());
}

bool CMotionImport::NeedsImport(const std::string& path, int fps) {
    const MotionFileType type = MotionFileTypeOf(path);
    if (type == kTypeHTR || type == kTypeBVH || type == kTypeScene) return true;
    const std::unique_ptr<ANIMFILE> head = CreateAnimFile(path.c_str(), type, 0);
    if (!head) return false;
    return !HasStandardSkeleton(*head) || (fps > 0 && head->GetFrameRate() != fps);
}

CSkeletonMapper::Result CMotionImport::Import(ANIMFILE& source,
                                              const CSkeletonMapper::Overrides& overrides,
                                              int fps) {
    CSkeletonMapper::Result result;
    const int rate = source.GetFrameRate();
    if (rate < 1) {
        result.message = "its frame rate (" + std::to_string(rate) + ") is no rate";
        return result;
    }
    const int64_t count = int64_t{source.GetEndFrame()} - source.GetBeginFrame() + 1;
    if (fps > 0 && (count - 1) * fps / rate + 1 > kMaxImportedFrames) {
        result.message = "too long: " + std::to_string(count) + " frames at " +
                         std::to_string(rate) + " frames a second";
        return result;
    }
    try {
        source.LoadAllFrames();
        result = overrides.empty() && HasStandardSkeleton(source)
                     ? Copied(source)
                     : CSkeletonMapper::Map(source, overrides, 0);
    } catch (const ERROBJ& error) {
        result.motion.reset();
        result.message = ErrorText(error);
    }
    if (result.motion && fps > 0 && fps != rate) {
        result.motion = CSkeletonMapper::Resampled(*result.motion, fps);
    }
    return result;
}

CSkeletonMapper::Result CMotionImport::ImportFile(const std::string& path,
                                                  const CSkeletonMapper::Overrides& overrides,
                                                  int fps, const std::string& take) {
    CSkeletonMapper::Result result;
    const MotionFileType type = MotionFileTypeOf(path);
    if (type == kTypeUnknown) {
        result.message = "not a motion file (.cha, .chb, .htr, .bvh, .fbx, .gltf, .glb or .dae)";
        return result;
    }
    std::unique_ptr<ANIMFILE> source;
    try {
        source = OpenAnimFile(path.c_str(), type, 0, take);
    } catch (const ERROBJ& error) {
        result.message = ErrorText(error);
        return result;
    } catch (...) {
        result.message = "cannot be read";
        return result;
    }
    result = Import(*source, overrides, fps);
    if (result.motion) result.message = SkeletonNote(*source);
    return result;
}

std::string CMotionImport::SkeletonNote(const ANIMFILE& source) {
    const auto* scene = dynamic_cast<const SCENEFILEREAD*>(&source);
    if (!scene || scene->GetSkeletonCount() < 2) return "";
    return "the file holds " + std::to_string(scene->GetSkeletonCount()) +
           " skeletons; the one under " + scene->GetSkeletonRoot() + " (" +
           std::to_string(source.GetSegmentCount()) + " joints) was taken";
}

std::unique_ptr<ANIMFILE> CMotionImport::OpenToShow(const std::string& path, int preload) {
    const MotionFileType type = MotionFileTypeOf(path);
    std::unique_ptr<ANIMFILE> motion =
        type == kTypeUnknown ? nullptr : CreateAnimFile(path.c_str(), type, preload);
    if (!motion || HasStandardSkeleton(*motion)) return motion;
    return Import(*motion, {}, 0).motion;
}

std::string CMotionImport::UnmappedSummary(const std::vector<std::string>& unmapped) {
    constexpr size_t kNamed = 6;
    std::string text;
    for (size_t i = 0; i < unmapped.size() && i < kNamed; ++i) {
        text += (i ? ", " : "") + unmapped[i];
    }
    if (unmapped.size() > kNamed) {
        text += " and " + std::to_string(unmapped.size() - kNamed) + " more";
    }
    return text;
}

}  // namespace tavrel
