#include "timeline/MotionManagerSide.h"

#include <unistd.h>

#include <filesystem>
#include <memory>

#include "AnimRead/SceneFileRead/SceneImport.h"
#include "base/DebugOutput.h"
#include "motion/AnimFileFactory.h"
#include "motion/MotionImport.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

// Beside the target, hidden, with the target's extension (which picks the file format).
std::string TemporaryFor(const std::string& target) {
    const fs::path path(target);
    return (path.parent_path() /
            (".tavrel-write-" + std::to_string(::getpid()) + "-" + path.filename().string()))
        .string();
}

bool IsWritten(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(path, error) && fs::file_size(path, error) > 0 && !error;
}

}  // namespace

bool CMotionManagerSide::WriteFiles(const std::vector<std::string>& targets, const Writer& write) {
    std::vector<std::string> temporaries;
    for (const std::string& target : targets) temporaries.push_back(TemporaryFor(target));
    bool written = false;
    try {
        written = write(temporaries);
    } catch (...) {
        // The writers raise ERROBJ when a write fails half-way.
        DebugOutput("CMotionManagerSide: a motion file could not be written.\n");
    }
    for (const std::string& temporary : temporaries) written = written && IsWritten(temporary);
    std::error_code error;
    for (size_t i = 0; written && i < targets.size(); ++i) {
        fs::rename(temporaries[i], targets[i], error);
        written = !error;
    }
    for (const std::string& temporary : temporaries) fs::remove(temporary, error);
    for (const std::string& target : targets) Forget(target);
    return written;
}

void CMotionManagerSide::Forget(const std::string& path) {
    contacts_.erase(path);
    if (manager_.IsCached(path)) manager_.DeleteMotion(path);
}

int CMotionManagerSide::FrameCount(const std::string& path) {
    return manager_.GetMotion(path)->GetFrameCount();
}

bool CMotionManagerSide::NeedsConversion(const std::string& path, int fps) {
    return CMotionImport::NeedsImport(path, fps);
}

bool CMotionManagerSide::Convert(const std::string& path, const std::string& target, int fps,
                                 ImportNotes* notes, const std::string& take) {
    CSkeletonMapper::Result imported = CMotionImport::ImportFile(path, {}, fps, take);
    if (!imported.motion) {
        DebugPrintf("CMotionManagerSide::Convert failed: %s: %s\n", path.c_str(),
                    imported.message.c_str());
        return false;
    }
    if (notes) {
        notes->unmapped.insert(notes->unmapped.end(), imported.unmapped.begin(),
                               imported.unmapped.end());
        notes->skeleton = imported.message;  // which of several skeletons was taken, if any
    }
    const int format = WriteFormatOf(MotionFileTypeOf(target));
    return format >= 0 && WriteFiles({target}, [&](const auto& temp) {
               return imported.motion->WriteAs(temp[0].c_str(), format);
           });
}

// Read again only once the file has failed: the import's message says what went wrong.
std::string CMotionManagerSide::UnusableReason(const std::string& path) {
    const CSkeletonMapper::Result imported = CMotionImport::ImportFile(path, {}, 0);
    if (!imported.motion) return imported.message;
    return imported.motion->GetEndFrame() < imported.motion->GetBeginFrame() ? "it holds no frames"
                                                                             : "";
}

std::vector<std::string> CMotionManagerSide::TakesOf(const std::string& path) {
    std::vector<std::string> names;
    if (MotionFileTypeOf(path) != kTypeScene) return names;
    try {
        for (const auto& take : ImportSceneTakes(path)) names.push_back(take.name);
    } catch (const ERROBJ& error) {
        // Unreadable: the import that follows fails and says so.
        DebugPrintf("CMotionManagerSide::TakesOf: %s: %s\n", path.c_str(), error.GetText());
    }
    return names;
}

bool CMotionManagerSide::Split(const std::string& path, int firstLength, const std::string& targetA,
                               const std::string& targetB) {
    return WriteFiles({targetA, targetB}, [&](const auto& temp) {
        CMotion* motion = manager_.GetMotion(path);
        return motion->HasData() && firstLength < motion->GetLength() &&
               motion->SaveSplit(firstLength, temp[0], temp[1]) == 1;
    });
}

bool CMotionManagerSide::Resample(const std::string& source, int newLength,
                                  const std::string& target, SpeedCurve curve) {
    return WriteFiles({target}, [&](const auto& temp) {
        return manager_.GetMotion(source)->Resample(temp[0], newLength, curve) == 1;
    });
}

bool CMotionManagerSide::Reverse(const std::string& path, const std::string& target) {
    return WriteFiles({target}, [&](const auto& temp) {
        return manager_.GetMotion(path)->SaveReversed(temp[0]) == 1;
    });
}

bool CMotionManagerSide::Mirror(const std::string& path, const std::string& target,
                                std::string* problem) {
    return WriteFiles({target}, [&](const auto& temp) {
        return manager_.GetMotion(path)->SaveMirrored(temp[0], problem) == 1;
    });
}

bool CMotionManagerSide::Repeat(const std::string& path, int times, const std::string& target) {
    return WriteFiles({target}, [&](const auto& temp) {
        return manager_.GetMotion(path)->SaveRepeated(temp[0], times) == 1;
    });
}

bool CMotionManagerSide::Align(const std::string& previous, int previousLast,
                               const std::string& path, const std::string& segment,
                               const std::string& target) {
    // Each motion is used at once: a later GetMotion may evict an earlier one.
    const std::unique_ptr<CHTR> end = manager_.GetMotion(previous)->GetPose(previousLast);
    const std::unique_ptr<CHTR> start = manager_.GetMotion(path)->GetPose(0);
    float px, py, pz, ax, ay, az;
    if (!end || !start || !end->GetPositionByName(segment.c_str(), px, py, pz) ||
        !start->GetPositionByName(segment.c_str(), ax, ay, az)) {
        return false;
    }
    return WriteFiles({target}, [&](const auto& temp) {
        return manager_.GetMotion(path)->SaveTranslated(temp[0], px - ax, py - ay, pz - az, 0) == 1;
    });
}

bool CMotionManagerSide::RotateSegment(const std::string& path, const std::string& segment,
                                       const SegmentRotation& r, bool absolute,
                                       const std::string& target) {
    // Turned in a motion of its own, so that the cached motion keeps what its file holds.
    CMotion motion(path, 0);
    if (!motion.HasData() ||
        !motion.RotatePart(segment.c_str(), r.w, r.x, r.y, r.z, absolute ? 1 : 0)) {
        return false;
    }
    return WriteFiles({target}, [&](const auto& temp) { return motion.Save(temp[0]) == 1; });
}

bool CMotionManagerSide::WritePoseClip(int kind, const std::string& target) {
    if (!poseWriter_) return false;
    return WriteFiles({target}, [&](const auto& temp) { return poseWriter_(kind, temp[0]); });
}

std::optional<GroundPlace> CMotionManagerSide::RootPlace(const std::string& path, int local) {
    CMotion* motion = manager_.GetMotion(path);
    if (!motion || local < 0 || local >= motion->GetLength()) return std::nullopt;
    const std::unique_ptr<CHTR> pose = motion->GetPose(local);
    if (!pose) return std::nullopt;
    return RootPlaceOf(pose->GetRoot());
}

FootContacts CMotionManagerSide::FootContactsOf(const std::string& path) {
    // Kept here as well: the track asks at every repaint, and a motion the cache has let go
    // would otherwise be read and searched again.
    if (const auto found = contacts_.find(path); found != contacts_.end()) return found->second;
    CMotion* motion = manager_.GetMotion(path);
    if (!motion || !motion->HasData()) return {};
    return contacts_.emplace(path, motion->GetFootContacts()).first->second;
}

TransitionPoint CMotionManagerSide::BestTransition(const std::string& a, const std::string& b,
                                                   const MatchLimits& limits) {
    CMotion* ma = manager_.GetMotion(a);
    CMotion* mb = manager_.GetMotion(b);
    if (!ma || !mb) return {};
    std::string why;
    const TransitionPoint best = tavrel::BestTransition(*ma, *mb, limits, &why);
    if (!best.Found()) DebugOutput("CMotionManagerSide: no best blend of " + b + ": " + why + "\n");
    return best;
}

}  // namespace tavrel
