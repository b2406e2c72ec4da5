#include "compose/TimelineBake.h"

#include <filesystem>
#include <memory>
#include <vector>

#include "AnimRead/ErrObj.h"
#include "AnimRead/GltfWriter.h"
#include "AnimRead/StandardSkeleton.h"
#include "motion/AnimFileFactory.h"
#include "motion/GroundPlace.h"
#include "motion/Motion.h"
#include "scene/BodyReader.h"
#include "timeline/FrameSample.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

constexpr int kTimelineRate = 60;

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    std::error_code error;
    if (fs::equivalent(a, b, error)) return true;
    return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

// The rest pose from the data folder, or the standard skeleton's own when that is missing.
std::unique_ptr<CHTR> RestPose(CPoseEvaluator& evaluator) {
    auto rest = std::make_unique<CHTR>();
    if (evaluator.Evaluate(FrameSample{}, *rest)) return rest;
    return CMotion().GetPose(0);
}

// Motion files are written crash-safe by their writers: the old file or the new one, never half.
// What a writer refuses or raises becomes the reason nothing was written.
bool Write(const std::string& outPath, std::string* error, const std::function<bool()>& write) {
    try {
        if (write()) return true;
        *error = "cannot create " + outPath;
    } catch (const ERROBJ& e) {
        *error = "cannot write " + outPath + ": " + e.GetText();
        // A write error's detail is the file; any other says what in the motion is wrong.
        if (e.code != ERR_WRITE && e.detail[0]) *error += std::string(" (") + e.detail + ")";
    }
    return false;
}

// glTF: the record's joints bound in the rest pose, with the avatar's body unless bare.
bool WriteGltf(const ANIMFILE& record, const CHTR& rest, const std::string& restPosePath,
               const std::string& outPath, GltfFigure figure, const std::string& name,
               std::string* error) {
    GltfWriter::Content content;
    content.metresPerUnit = StandardMetresPerUnit();
    content.groundHeight = kGroundHeight;
    content.animationName = name.empty() ? "timeline" : name;
    for (int32_t s = 0; s < record.GetSegmentCount(); ++s) {
        const ANIMSEG& segment = *record.GetSegment(s);
        const rkNode* node = rkFindNode(rest.GetRoot(), segment.name);
        content.rest.push_back(node ? node->local : segment.frames.front());
    }
    if (figure == GltfFigure::kSkinnedAvatar) {
        const CBodyReader body((fs::path(restPosePath).parent_path() / "avatar.scx").string());
        content.body = body.Parts(record, &content.pictures);
        if (content.body.empty()) {
            *error = "the avatar's body cannot be read";
            return false;
        }
    }
    return Write(outPath, error, [&] { return GltfWriter::Write(record, outPath, content); });
}

}  // namespace

bool IsProjectInput(const CTimelineProject& project, const std::string& path) {
    std::vector<std::string> inputs = {project.file, project.soundFile};
    auto addPlayed = [&](const std::string& file) {
        if (file.empty()) return;
        inputs.push_back(file);
        if (!project.dataFolder.empty())
            inputs.push_back((fs::path(project.dataFolder) / fs::path(file).filename()).string());
    };
    for (const MotionClip& c : project.motionClips) {
        addPlayed(c.fileName);
        addPlayed(c.sourceFileName);
    }
    for (const MediaClip& m : project.mediaClips) addPlayed(m.fileName);
    if (!project.soundFile.empty()) addPlayed(project.soundFile);
    for (const std::string& input : inputs) {
        if (SameFile(input, path)) return true;
    }
    return false;
}

BakeOutcome BakeTimeline(const CTimelineProject& project, CMotionManager& manager,
                         const std::string& restPosePath, const std::string& outPath,
                         const BakeProgress& progress, MixMode mode, GltfFigure figure) {
    BakeOutcome outcome;
    const MotionFileType type = MotionFileTypeOf(outPath);
    const bool gltf = GltfWriter::Handles(outPath);
    if (type != kTypeCHA && type != kTypeCHB && type != kTypeBVH && !gltf) {
        outcome.error = "the output must end in .cha, .chb, .bvh, .glb or .gltf";
        return outcome;
    }
    if (IsProjectInput(project, outPath)) {
        outcome.error = outPath + " is one of the project's own files";
        return outcome;
    }
    const int last = project.LastFrame();
    if (last < 0) {
        outcome.error = "the timeline holds no motion clip";
        return outcome;
    }
    std::unique_ptr<ANIMFILE> record = CreateAnimFile(nullptr, kTypeCHB, 1);
    CPoseEvaluator evaluator(manager, restPosePath);
    std::unique_ptr<CHTR> shown = RestPose(evaluator);
    if (!record || !shown) {
        outcome.error = "the standard skeleton cannot be built";
        return outcome;
    }
    const std::unique_ptr<CHTR> rest = shown->Clone();
    record->SetFrameRate(kTimelineRate);
    for (int f = 0; f <= last; ++f) {
        // A frame whose motions give no pose keeps the pose before it on screen.
        evaluator.Evaluate(GetFrameSample(&project, f), *shown, mode);
        record->SetFrame(shown->GetRoot(), f);
        if (progress && !progress(f + 1, last + 1)) {
            outcome.cancelled = true;
            return outcome;
        }
    }
    outcome.frames = last + 1;
    outcome.ok =
        gltf
            ? WriteGltf(*record, *rest, restPosePath, outPath, figure, project.name, &outcome.error)
            : Write(outPath, &outcome.error,
                    [&] { return record->WriteAs(outPath.c_str(), WriteFormatOf(type)); });
    return outcome;
}

}  // namespace tavrel
