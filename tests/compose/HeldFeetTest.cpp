#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <numbers>

#include "compose/FrameMixer.h"
#include "compose/PoseEvaluator.h"
#include "motion/Motion.h"
#include "settings/StringTable.h"
#include "tests/compose/Blends.h"
#include "tests/motion/MotionFiles.h"
#include "tests/support/PoseSteps.h"
#include "tests/support/TempFolder.h"
#include "tests/timeline/ScriptedDecisions.h"
#include "timeline/ClipPlace.h"
#include "timeline/MotionManagerSide.h"
#include "timeline/TimelineModel.h"

namespace tavrel {
namespace {

const std::string kShare = TAVREL_SHARE_DIR;
const std::string kWalk = kShare + "/Motion/Locomotion/walk.cha";
const std::string kRest = kShare + "/Init.chb";

// The motion of `source` moved in every frame by the place, written to target.
void WriteMoved(const std::string& source, const GroundPlace& place, const std::string& target) {
    CMotion in(source, 0), out;
    for (int i = 0; i < in.GetLength(); ++i) {
        std::unique_ptr<CHTR> pose = in.GetPose(i);
        PlacePose(pose->GetRoot(), place);
        out.SetPose(i, *pose);
    }
    ASSERT_TRUE(out.Save(target));
}

rkVector Ankle(const CHTR& pose, int side) {
    return rkOrigin(WorldOf(FindLegs(pose.GetRoot())[side].foot));
}
rkVector Hips(const CHTR& pose) {
    return rkOrigin(pose.GetRoot()->local);
}

class HeldFeet : public testing::RealTimeline {
protected:
    void Add(const std::string& file, int at) {
        model->SetCurrentFrame(at);
        ASSERT_TRUE(model->AddMotionFile(file).done) << file;
    }
    // A walk and the walk shifted 2 m and turned 90 degrees, overlapping by 20 frames; gives
    // the walk's length.
    int LayTwoWalks() {
        const std::string turned = folder / "walk-turned.chb";
        WriteMoved(kWalk, {2000.0f, 0.0f, std::numbers::pi_v<float> / 2}, turned);
        Add(kWalk, 0);
        Add(turned, 200);
        const int length = model->ClipAtPosition(1)->Length();
        EXPECT_TRUE(model->MoveClip(0, length - 20).done) << "overlapping by 20 frames";
        return length;
    }
    std::unique_ptr<CHTR> PoseAt(int frame, MixMode mode) {
        return evaluator.PoseOf(model->GetFrameSample(frame), mode);
    }

    CPoseEvaluator evaluator{manager, kRest};
};

struct FadeMeasure {
    float backward = 0.0f;  // the hips' largest step against the way walked, a frame
    float slide = 0.0f;     // the largest step of a foot the leading clip has planted, a frame
    float step = 0.0f;      // the largest step of any joint, a frame
};

TEST_F(HeldFeet, TwoWalksCrossFadeWithTheHipsGoingOnAndThePlantedFeetStill) {
    const int length = LayTwoWalks();
    const MotionClip first = *model->ClipAtPosition(1);
    const MotionClip second = *model->ClipAtPosition(0);

    CMotion* walk = manager.GetMotion(first.fileName);
    const rkVector start = Hips(*walk->GetPose(0)), end = Hips(*walk->GetPose(length - 1));
    rkVector way = end - start;
    way = way * (1.0f / rkLength(way));
    const auto measure = [&](MixMode mode) {
        FadeMeasure m;
        std::unique_ptr<CHTR> before = PoseAt(second.firstFrame - 1, mode);
        for (int f = second.firstFrame; f <= first.lastFrame + 1; ++f) {
            std::unique_ptr<CHTR> now = PoseAt(f, mode);
            m.backward = std::max(m.backward, -rkDot(Hips(*now) - Hips(*before), way));
            m.step = std::max(m.step, testing::LargestNodeStep(now->GetRoot(), before->GetRoot()));
            const FrameSample s = model->GetFrameSample(f - 1);
            const bool aLeads = s.weight < 0.5f || s.localB < 0;
            CMotion* lead = manager.GetMotion(aLeads ? s.fileA : s.fileB);
            const int local = aLeads ? s.localA : s.localB;
            for (int foot = 0; foot < 2; ++foot) {
                const FootContacts& c = lead->GetFootContacts();
                if (c.LockWeight(foot, local) < 1.0f || c.LockWeight(foot, local + 1) < 1.0f)
                    continue;
                m.slide = std::max(m.slide, rkLength(Ankle(*now, foot) - Ankle(*before, foot)));
            }
            before = std::move(now);
        }
        return m;
    };
    const FadeMeasure plain = measure(MixMode::kPlain), held = measure(MixMode::kHoldFeet);
    std::printf(
        "through the fade, a frame: plain mix: hips back %.1f mm, planted feet slide "
        "%.1f mm; held: hips back %.1f mm, feet slide %.1f mm\n",
        plain.backward, plain.slide, held.backward, held.slide);
    EXPECT_GT(plain.backward, 20.0f) << "the plain mix drags the body back to the capture's place";
    EXPECT_LE(held.backward, 0.0f);
    EXPECT_LE(held.slide, 9.3f);  // millimetres: 3 units of the first skeleton
    // No joint steps further in a frame than it does in the walk itself: a hold that takes the
    // foot in the middle of the fade draws it there no faster than the walk moves its feet.
    float walkStep = 0.0f;
    for (int f = 1; f < length; ++f) {
        walkStep = std::max(walkStep, testing::LargestNodeStep(walk->GetPose(f)->GetRoot(),
                                                               walk->GetPose(f - 1)->GetRoot()));
    }
    std::printf("largest joint step a frame: walk %.2f mm, plain fade %.2f mm, held fade %.2f mm\n",
                walkStep, plain.step, held.step);
    // A leg held where its pose stretches it is left that straight, which moves the knee a
    // few hundredths of a millimetre further than the soft reach did.
    EXPECT_LE(held.step, walkStep + 0.16f) << "within the rounding of the turned copy";

    // The walk alone is what it was captured as, frame for frame.
    for (int f = 0; f < second.firstFrame; ++f) {
        const std::unique_ptr<CHTR> shown = PoseAt(f, MixMode::kHoldFeet);
        const std::unique_ptr<CHTR> captured = walk->GetPose(f);
        const rkNode* a = shown->GetRoot();
        const rkNode* b = captured->GetRoot();
        for (int e = 0; e < 16; ++e) ASSERT_EQ(a->local.m[e], b->local.m[e]) << f;
    }
}

// One frame as the slide is measured: the held pose, and each clip shown with the frame it
// shows, its placed ankles and which leads.
struct ShownFrame {
    std::unique_ptr<CHTR> held;
    struct Clip {
        std::string file;
        int local = -1;
        std::array<rkVector, 2> ankles{};
    };
    std::vector<Clip> clips;
    size_t lead = 0;
};

ShownFrame Show(CMotionManager& manager, CPoseEvaluator& evaluator, const FrameSample& sample) {
    ShownFrame shown;
    shown.held = evaluator.PoseOf(sample);
    const auto clip = [](const std::string& file, int local, const CHTR& pose) {
        return ShownFrame::Clip{file, local, {Ankle(pose, 0), Ankle(pose, 1)}};
    };
    CHTR alone;
    if (sample.localB < 0) {
        if (CopyClipPose(manager, sample.fileA, sample.localA, sample.placeA, false, alone))
            shown.clips.push_back(clip(sample.fileA, sample.localA, alone));
        return shown;
    }
    CFrameMixer mixer;
    if (!mixer.Mix(manager, sample, false, alone)) return shown;
    shown.clips = {clip(sample.fileA, sample.localA, mixer.A()),
                   clip(sample.fileB, mixer.LocalOfB(), mixer.B())};
    shown.lead = mixer.ShareOfB() >= 0.5f ? 1 : 0;
    return shown;
}

// Whether the clip leading the frame plants the foot fully there: the foot is planted in the mix.
bool PlantedInMix(CMotionManager& manager, const ShownFrame& frame, int side) {
    const ShownFrame::Clip& lead = frame.clips[frame.lead];
    return manager.GetMotion(lead.file)->GetFootContacts().LockWeight(side, lead.local) >= 1.0f;
}

// How high a foot is above the lowest either clip shown has it.
float AboveClips(const ShownFrame& frame, int side) {
    float lowest = INFINITY;
    for (const ShownFrame::Clip& clip : frame.clips) lowest = std::min(lowest, clip.ankles[side].z);
    return Ankle(*frame.held, side).z - lowest;
}

// How far a foot planted in the mix at both frames, and down there (no higher than a clip has
// it), slides from one to the next beyond the step of the planted ankle of the clip leading
// either frame; negative where it is not planted and down at both.
float SlideOf(CMotionManager& manager, const ShownFrame& from, const ShownFrame& to, int side) {
    if (!PlantedInMix(manager, from, side) || !PlantedInMix(manager, to, side)) return -1.0f;
    if (AboveClips(from, side) > 10.0f || AboveClips(to, side) > 10.0f) return -1.0f;
    float slide = -1.0f;
    const rkVector held = Ankle(*to.held, side) - Ankle(*from.held, side);
    for (const ShownFrame::Clip* lead : {&from.clips[from.lead], &to.clips[to.lead]}) {
        const auto shownIn = [&](const ShownFrame& frame) {
            return std::find_if(frame.clips.begin(), frame.clips.end(),
                                [&](const auto& c) { return c.file == lead->file; });
        };
        const auto was = shownIn(from), is = shownIn(to);
        if (was == from.clips.end() || is == to.clips.end()) continue;
        const float beyond = rkLength(held - (is->ankles[side] - was->ankles[side]));
        slide = slide < 0.0f ? beyond : std::min(slide, beyond);
    }
    return slide;
}

// Whether the pose sits on the floor: its hips lower above its feet than half a leg.
bool SitsOnTheFloor(const CHTR& pose) {
    const Leg leg = FindLegs(pose.GetRoot())[0];
    const float length = rkLength(rkOrigin(leg.shin->local)) + rkLength(rkOrigin(leg.foot->local));
    return Hips(pose).z - std::min(Ankle(pose, 0).z, Ankle(pose, 1).z) < 0.5f * length;
}

// Every ordered pair of the bundled samples, the later dropped over the earlier one's last 20
// frames as a drop composes it, in step, out of step and through the inertial curve: through
// the blend and the frames after it, a foot the leading clip plants fully and that stays down
// moves at most 3 mm a frame more than that clip's own planted ankle does. Where the two clips
// plant it apart the foot stays where it came down while the lead changes hands, and is lifted
// across where the plants lie out of reach. Out of a seat on the floor, whose feet lie further
// in front of the body than any other clip plants them, the feet have no place to stay: the
// mix carries them there.
TEST_F(HeldFeet, AFootPlantedInTheMixNeverSlides) {
    const std::vector<std::string> files = testing::BundledSamples(kShare);
    float worst = 0.0f;
    int seated = 0;
    for (const std::string& a : files) {
        for (const std::string& b : files) {
            if (a == b) continue;
            for (int variant = 0; variant < 3; ++variant) {
                SCOPED_TRACE(std::filesystem::path(a).stem().string() + " into " +
                             std::filesystem::path(b).stem().string() + ", variant " +
                             std::to_string(variant));
                model->NewProject(CTimelineProject());
                Add(a, 0);
                const int aLast = model->LastFrame();
                Add(b, aLast + 1);
                ASSERT_TRUE(model->MoveClip(0, aLast + 1 - 20).done);
                if (variant == 1) model->SetKeepInStep(1, false);
                if (variant == 2) model->SetCurveType(1, kCurveInertial);
                const FadeSpan fade = model->GetFrameSample(aLast).fade;
                ASSERT_EQ(fade.last - fade.first + 1, 20);
                CPoseEvaluator held(manager, kRest);
                CMotion& ma = *manager.GetMotion(a);
                if (SitsOnTheFloor(*ma.GetPose(ma.GetLength() - 1))) {
                    ++seated;
                    continue;
                }
                ShownFrame before = Show(manager, held, model->GetFrameSample(fade.first - 1));
                float slide = 0.0f;
                int at = 0;
                for (int f = fade.first; f <= std::min(fade.last + 60, model->LastFrame()); ++f) {
                    ShownFrame now = Show(manager, held, model->GetFrameSample(f));
                    ASSERT_TRUE(now.held && !now.clips.empty()) << f;
                    for (int side = 0; side < 2; ++side) {
                        const float s = SlideOf(manager, before, now, side);
                        if (s > slide) slide = s, at = f;
                    }
                    before = std::move(now);
                }
                EXPECT_LE(slide, 3.0f)
                    << "at frame " << at << ", the blend " << fade.first << " to " << fade.last;
                worst = std::max(worst, slide);
            }
        }
    }
    std::printf(
        "a planted foot slides at most %.2f mm a frame beyond its clip's (%d blends out "
        "of a seat left out)\n",
        worst, seated);
    EXPECT_LE(seated, 3 * int(files.size())) << "only out of the one seated clip";
}

TEST_F(HeldFeet, AnEditedBlendShowsWhatAFreshLookAtItShows) {
    // A blend's held feet are worked out once for all its frames: every edit that changes them
    // must be seen at once.
    const int length = LayTwoWalks();
    const auto edits = std::to_array<std::pair<const char*, std::function<bool()>>>({
        {"move", [&] { return model->MoveClip(0, length - 30).done; }},
        {"own place", [&] { return model->SetClipSwitches(0, true, true).done; }},
        {"curve", [&] { return model->SetCurveType(1, kCurveEaseIn); }},
        {"feet free", [&] { return model->SetClipSwitches(1, false, false).done; }},
        {"undo", [&] { return model->Undo().done; }},
    });
    for (const auto& [name, edit] : edits) {
        SCOPED_TRACE(name);
        const FadeSpan fade = model->GetFrameSample(length - 5).fade;
        for (int f = fade.first; f <= fade.last; ++f) PoseAt(f, MixMode::kHoldFeet);
        ASSERT_TRUE(edit());
        const FadeSpan now = model->GetFrameSample(length - 5).fade;
        std::vector<std::unique_ptr<CHTR>> shown;
        for (int f = now.first; f <= now.last; ++f) shown.push_back(PoseAt(f, MixMode::kHoldFeet));
        CMotionManager fresh;
        CPoseEvaluator afresh(fresh, kRest);
        for (int f = now.first; f <= now.last; ++f) {
            const std::unique_ptr<CHTR> expected = afresh.PoseOf(model->GetFrameSample(f));
            const rkNode* a = shown[f - now.first]->GetRoot();
            const rkNode* b = expected->GetRoot();
            for (int e = 0; e < 16; ++e) ASSERT_EQ(a->local.m[e], b->local.m[e]) << f;
        }
    }
}

TEST_F(HeldFeet, BadMixesNeverCrashNorGiveNaN) {
    // A jump (in the air through part of it), a walk, a figure without legs and a one-frame pose,
    // with transitions of every length down to none.
    const std::string still = folder / "still.chb";
    {
        CMotion walk(kWalk, 0), one;
        one.SetPose(0, *walk.GetPose(40));
        ASSERT_TRUE(one.Save(still));
    }
    const std::string legless = folder / "legless.cha";
    testing::WriteText(legless, testing::kThreeSegmentCha);
    // Each clip goes just after the last, whatever length its file has on the timeline.
    const std::string jump = kShare + "/Motion/Sports/jump.htr";
    Add(jump, 0);
    const int jumpEnd = model->LastFrame();
    Add(kWalk, jumpEnd + 1);
    // A cross-fade too: the walk over the end of the jump.
    ASSERT_TRUE(model->MoveClip(model->PositionOfClipAt(jumpEnd + 1), jumpEnd - 19).done);
    for (const std::string& file : {still, kWalk, jump}) Add(file, model->LastFrame() + 1);
    // A figure without legs is no human figure to bring onto the timeline, but a project may
    // still name one: it is mixed in below in place of either clip.
    model->SetCurrentFrame(model->LastFrame() + 1);
    EXPECT_FALSE(model->AddMotionFile(legless).done);
    const auto withLegless = [&](FrameSample s, bool asA) {
        (asA ? s.fileA : s.fileB) = legless;
        int& local = asA ? s.localA : s.localB;
        local = std::max(local, 0) % 2;
        return s;
    };
    for (int transition : {0, 1, 5, 40}) {
        for (int p = 0; p < model->Project().motionClips.Count(); ++p) {
            model->SetTransitionIn(p, transition);
            model->SetTransitionOut(p, transition);
        }
        for (int f = 0; f <= model->LastFrame() + 2; ++f) {
            const FrameSample sample = model->GetFrameSample(f);
            std::vector<FrameSample> mixes = {sample, withLegless(sample, true)};
            if (!sample.fileB.empty()) mixes.push_back(withLegless(sample, false));
            for (const FrameSample& mix : mixes) {
                for (MixMode mode : {MixMode::kHoldFeet, MixMode::kPlain}) {
                    if (const std::unique_ptr<CHTR> shown = evaluator.PoseOf(mix, mode)) {
                        ASSERT_TRUE(testing::Finite(shown->GetRoot())) << f << " " << transition;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace tavrel

namespace tavrel {
namespace {

// The largest step any joint of the motion takes from one frame to the next.
float LargestStepOf(CMotion& motion) {
    float most = 0.0f;
    std::unique_ptr<CHTR> before = motion.GetPose(0);
    for (int f = 1; f < motion.GetLength(); ++f) {
        std::unique_ptr<CHTR> now = motion.GetPose(f);
        most = std::max(most, testing::LargestNodeStep(now->GetRoot(), before->GetRoot()));
        before = std::move(now);
    }
    return most;
}

struct BlendSteps {
    float step = 0.0f;  // the largest step of any joint, into, through and out of the blend
    bool finite = true;
};

BlendSteps StepsThroughBlend(CMotionManager& manager, const CTimelineProject& project) {
    // In time order: A, then B.
    const TransitionZone zone = ZoneOf(*project.motionClips.rbegin(), *project.motionClips.begin());
    BlendSteps steps;
    std::unique_ptr<CHTR> before;
    CPoseEvaluator evaluator(manager, kRest);
    for (int f = zone.start - 1; f <= zone.end + 1; ++f) {
        std::unique_ptr<CHTR> now = evaluator.PoseOf(GetFrameSample(&project, f));
        steps.finite = steps.finite && testing::Finite(now->GetRoot());
        if (before)
            steps.step =
                std::max(steps.step, testing::LargestNodeStep(now->GetRoot(), before->GetRoot()));
        before = std::move(now);
    }
    return steps;
}

// Through a blend with feet held no joint steps further in a frame than the clips themselves
// do: the clips' largest is the larger of the two motions' own largest joint step a frame,
// allowed 10 % more. Where the mix itself cannot keep to that (clips placed far apart, or poses
// far apart over a frame or two), the body must travel that far whatever the feet do, and the
// held mix may step as far as the mix without held feet does, never further (0.1 % for
// rounding). Every ordered pair of the bundled samples, four blend lengths, both placements,
// a plain fade and an inertial blend.
TEST(HeldBlend, NoJointStepsFurtherThanTheClipsOrThanTheUnheldMix) {
    const std::vector<std::string> files = testing::BundledSamples(kShare);
    ASSERT_GE(files.size(), 2u);
    CMotionManager manager;
    std::map<std::string, float> largest;
    for (const std::string& f : files) largest[f] = LargestStepOf(*manager.GetMotion(f));
    float worstPlain = 0.0f, worstHeld = 0.0f;
    for (const std::string& a : files) {
        for (const std::string& b : files) {
            if (a == b) continue;
            CMotion& ma = *manager.GetMotion(a);
            CMotion& mb = *manager.GetMotion(b);
            const float limit = 1.1f * std::max(largest[a], largest[b]);
            for (int length : {1, 5, 10, 30}) {
                for (int k = 0; k < 4; ++k) {
                    const bool own = k % 2;
                    const CurveType curve = k < 2 ? kCurveLinear : kCurveInertial;
                    SCOPED_TRACE(std::filesystem::path(a).stem().string() + " into " +
                                 std::filesystem::path(b).stem().string() + ", " +
                                 std::to_string(length) + " frames, " +
                                 (own ? "own place" : "continuing") + ", curve " +
                                 std::to_string(curve));
                    const auto blend = [&](bool feetFree) {
                        return testing::TwoClips(ma, mb, a, b, length, own, feetFree, curve);
                    };
                    const BlendSteps plain = StepsThroughBlend(manager, blend(true));
                    const BlendSteps held = StepsThroughBlend(manager, blend(false));
                    ASSERT_TRUE(held.finite);
                    EXPECT_LE(held.step, std::max(limit, plain.step * 1.001f))
                        << "limit " << limit << ", unheld " << plain.step;
                    worstPlain = std::max(worstPlain, plain.step / limit);
                    worstHeld = std::max(worstHeld, held.step / std::max(limit, plain.step));
                }
            }
        }
    }
    std::printf(
        "worst step over the clips' largest +10%%: unheld %.2f; held over the larger of "
        "that and the unheld mix's %.3f\n",
        worstPlain, worstHeld);
}

}  // namespace
}  // namespace tavrel
