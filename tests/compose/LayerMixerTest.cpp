// The layers over the clips: the additive and override rules, masks, figures of other shapes,
// and evaluation that allocates nothing once shown.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "compose/PoseEvaluator.h"
#include "motion/Legs.h"
#include "motion/Motion.h"
#include "tests/compose/Blends.h"
#include "tests/motion/MotionFiles.h"
#include "tests/support/CaptureBvh.h"
#include "tests/support/CountingAllocator.h"

namespace tavrel {
namespace {

const std::string kShare = TAVREL_SHARE_DIR;
const std::string kRest = kShare + "/Init.chb";
const std::string kWalk = kShare + "/Motion/Locomotion/walk.cha";
const std::vector<std::string> kLayerMotions = {
    kShare + "/Motion/Gestures/wave.cha", kShare + "/Motion/Gestures/clap.cha",
    kShare + "/Motion/Gestures/bow.chb", kShare + "/Motion/Sports/kick.htr",
    kShare + "/Motion/Everyday/idle.cha"};

using Locals = std::map<std::string, rkMatrix>;

void CollectLocals(const rkNode* node, Locals& locals) {
    for (; node; node = node->next) {
        locals.emplace(node->name, node->local);
        CollectLocals(node->child, locals);
    }
}

Locals LocalsOf(const CHTR& pose) {
    Locals locals;
    CollectLocals(pose.GetRoot(), locals);
    return locals;
}

float Difference(const rkMatrix& a, const rkMatrix& b) {
    float most = 0.0f;
    for (int e = 0; e < 16; ++e) most = std::max(most, std::fabs(a.m[e] - b.m[e]));
    return most;
}

// The segments whose local matrices differ by more than the tolerance.
std::set<std::string> Differing(const CHTR& a, const CHTR& b, float tolerance = 0.0f) {
    const Locals x = LocalsOf(a), y = LocalsOf(b);
    std::set<std::string> names;
    for (const auto& [name, local] : x) {
        if (!y.count(name) || Difference(local, y.at(name)) > tolerance) names.insert(name);
    }
    return names;
}

class LayerMixerTest : public testing::RealTimeline {
protected:
    LayerMixerTest() {
        model->AddMotionFile(kWalk);
        model->AddLayer();
    }

    // The pose at the frame with the layers and without them.
    std::pair<std::unique_ptr<CHTR>, std::unique_ptr<CHTR>> Poses(int frame) {
        FrameSample sample = model->GetFrameSample(frame);
        auto layered = evaluator.PoseOf(sample);
        sample.layers = nullptr;
        return {std::move(layered), evaluator.PoseOf(sample)};
    }

    // The pose of the layer's first clip at a frame of the timeline.
    std::unique_ptr<CHTR> ClipPose(int frame) {
        const LayerClip& clip = model->Layers().tracks[0].clips[0];
        return manager.GetMotion(clip.fileName)->GetPose(frame - clip.firstFrame);
    }

    CPoseEvaluator evaluator{manager, kRest};
};

// Adding a clip's own first frame changes nothing, a weight of 0 changes nothing, and an
// override at weight 1 is the clip, over random frames of the walk and random motions.
TEST_F(LayerMixerTest, TheAdditiveAndOverrideRulesHold) {
    std::mt19937 random(23);
    const int walkLength = model->LastFrame() + 1;
    for (int round = 0; round < 12; ++round) {
        const std::string& file = kLayerMotions[random() % kLayerMotions.size()];
        const int at = int(random() % (walkLength - 20));
        if (!model->Layers().tracks[0].clips.empty()) model->RemoveLayerClip(0, 0);
        ASSERT_TRUE(model->AddLayerClip(0, file, at).done) << file;
        SCOPED_TRACE(file + " at " + std::to_string(at));
        const int length = model->Layers().tracks[0].clips[0].Length();
        // Mid-motion: gestures end where they began.
        const int later = at + length / 2 - length / 8 + int(random() % (length / 4));

        auto [first, base] = Poses(at);
        EXPECT_EQ(Differing(*first, *base, 2e-5f), std::set<std::string>()) << "own first frame";
        auto [turned, unturned] = Poses(later);
        EXPECT_FALSE(Differing(*turned, *unturned, 1e-3f).empty()) << "the clip moves";

        model->SetLayerClipWeight(0, 0, 0.0f, 0, 0, kCurveLinear);
        auto [none, plain] = Poses(later);
        EXPECT_EQ(Differing(*none, *plain), std::set<std::string>()) << "weight 0";

        model->SetLayerClipWeight(0, 0, 1.0f, 0, 0, kCurveLinear);
        model->SetLayerClipMode(0, 0, LayerMode::kOverride);
        auto [over, under] = Poses(later);
        EXPECT_EQ(Differing(*over, *ClipPose(later)), std::set<std::string>()) << "override";
    }
}

// Each body mask reaches its segments and no others.
TEST_F(LayerMixerTest, MasksReachTheirSegmentsOnly) {
    const std::set<std::string> leftArm{"LCollar", "LUpArm", "LLowArm", "LHand"};
    const std::set<std::string> rightArm{"RCollar", "RUpArm", "RLowArm", "RHand"};
    const std::set<std::string> leftLeg{"LPelvis", "LThigh", "LLowLeg", "LFoot"};
    const std::set<std::string> rightLeg{"RPelvis", "RThigh", "RLowLeg", "RFoot"};
    const std::set<std::string> head{"Neck", "Head"};
    auto join = [](std::initializer_list<std::set<std::string>> parts) {
        std::set<std::string> all;
        for (const auto& part : parts) all.insert(part.begin(), part.end());
        return all;
    };
    const struct {
        const char* mask;
        std::set<std::string> reached;
    } table[] = {
        {"whole", join({leftArm, rightArm, leftLeg, rightLeg, head, {"LowerTorso", "UpperTorso"}})},
        {"upper", join({leftArm, rightArm, head, {"UpperTorso"}})},
        {"lower", join({leftLeg, rightLeg, {"LowerTorso"}})},
        {"leftarm", leftArm},
        {"rightarm", rightArm},
        {"leftleg", leftLeg},
        {"rightleg", rightLeg},
        {"head", head},
        {"LHand+Head+RFoot", {"LHand", "Head", "RFoot"}},
    };
    ASSERT_TRUE(
        model->AddLayerClip(0, kShare + "/Motion/Sports/kick.htr", 0, LayerMode::kOverride).done);
    const int frame = 25;
    const auto [base, clip] = std::pair(Poses(frame).second, ClipPose(frame));
    const std::set<std::string> different = Differing(*base, *clip);
    for (const auto& row : table) {
        SCOPED_TRACE(row.mask);
        const std::optional<SegmentMask> mask = ParseMask(row.mask);
        ASSERT_TRUE(mask);
        EXPECT_EQ(ParseMask(MaskText(*mask)), mask);
        model->SetLayerClipMask(0, 0, *mask);
        const std::unique_ptr<CHTR> layered = Poses(frame).first;
        std::set<std::string> expected;
        for (const std::string& name : row.reached) {
            if (different.count(name)) expected.insert(name);
        }
        EXPECT_EQ(Differing(*layered, *base), expected);
        EXPECT_EQ(Differing(*layered, *clip), [&] {
            std::set<std::string> rest = different;
            for (const std::string& name : row.reached) rest.erase(name);
            return rest;
        }());
    }
}

// A figure of another skeleton, mapped onto ours as it is brought in, adds its turns like any
// motion; a clip whose file is gone changes nothing.
TEST_F(LayerMixerTest, MappedFiguresAddTheirTurnsAndLostFilesChangeNothing) {
    const std::string figure = folder / "capture.bvh";
    testing::WriteText(figure, testing::CaptureBvh(40));
    ASSERT_TRUE(model->AddLayerClip(0, figure, 10).done);
    const LayerClip& clip = model->Layers().tracks[0].clips[0];
    auto [first, base] = Poses(clip.firstFrame);
    EXPECT_EQ(Differing(*first, *base, 2e-5f), std::set<std::string>());
    const int middle = clip.firstFrame + clip.Length() / 2;
    auto [turned, unturned] = Poses(middle);
    EXPECT_FALSE(Differing(*turned, *unturned, 1e-3f).empty());
    EXPECT_TRUE(testing::Finite(turned->GetRoot()));

    std::filesystem::remove(clip.fileName);
    manager.DeleteMotion(clip.fileName);
    auto [gone, plain] = Poses(middle);
    EXPECT_EQ(Differing(*gone, *plain), std::set<std::string>());
}

// Layers change the mixed pose before its feet are held: on a clip alone and through a blend, a
// foot the leading clip has planted stands where it stands without the layer, even under keys
// that swing the legs.
TEST_F(LayerMixerTest, PlantedFeetStayPlantedUnderLayers) {
    const int fadeFrom = model->LastFrame() - 19;
    model->SetCurrentFrame(model->LastFrame() + 1);
    model->AddMotionFile(kShare + "/Motion/Locomotion/run.chb");
    model->MoveClip(0, fadeFrom);
    for (int segment : {kLThigh, kRThigh, kLLowLeg, kRLowLeg}) {
        for (int at : {fadeFrom - 35, fadeFrom + 10}) {
            ASSERT_TRUE(model->SetKey(0, at, segment, {0.97f, 0.2f, 0.1f, 0.0f}).done);
        }
    }
    int planted = 0, swung = 0, shown = 0;
    for (int f = fadeFrom - 60; f < fadeFrom + 20; ++f) {
        if (!model->Layers().tracks[0].ClipAt(f)) continue;
        const FrameSample s = model->GetFrameSample(f);
        const bool aLeads = s.weight < 0.5f || s.localB < 0;
        const FootContacts& contacts =
            manager.GetMotion(aLeads ? s.fileA : s.fileB)->GetFootContacts();
        auto [layered, base] = Poses(f);
        for (int foot = 0; foot < 2; ++foot) {
            if (contacts.LockWeight(foot, aLeads ? s.localA : s.localB) < 1.0f) continue;
            ++planted;
            const auto ankle = [&](const CHTR& pose) {
                return rkOrigin(WorldOf(FindLegs(pose.GetRoot())[foot].foot));
            };
            EXPECT_LT(rkLength(ankle(*layered) - ankle(*base)), 1.0f) << f << " foot " << foot;
        }
        swung += !Differing(*layered, *base, 1e-3f).empty();
        ++shown;
    }
    EXPECT_GT(planted, 25);
    EXPECT_GE(swung, shown - 4) << "the legs swing but at the key clips' ends";
}

// With four layers of two clips each over a blend, playing on allocates nothing once every
// frame has been shown, and shows what a new evaluator shows.
TEST_F(LayerMixerTest, FourLayersAllocateNothingOnceShown) {
    const int fadeFrom = model->LastFrame() - 19;
    model->SetCurrentFrame(model->LastFrame() + 1);
    model->AddMotionFile(kShare + "/Motion/Locomotion/run.chb");
    model->MoveClip(0, fadeFrom);
    for (int layer = 0; layer < 4; ++layer) {
        if (layer > 0) model->AddLayer();
        const int from = fadeFrom - 30 + layer * 5;
        model->AddLayerClip(layer, kLayerMotions[layer], from, LayerMode(layer % 2));
        model->SetLayerClipWeight(layer, 0, 0.7f, 5, 5, kCurveEaseIn);
        const int next = model->Layers().tracks[layer].clips[0].lastFrame + 1;
        model->SetKey(layer, next + 20, kLLowArm, {0.9f, 0.3f, 0.1f, 0.0f});
        model->SetKey(layer, next + 30, kHead, {0.9f, 0.0f, 0.2f, 0.1f});
    }
    ASSERT_EQ(model->Layers().tracks.size(), 4u);
    CHTR out;
    const int end = fadeFrom + 60;
    for (int f = fadeFrom - 30; f <= end; ++f) evaluator.Evaluate(model->GetFrameSample(f), out);
    ASSERT_TRUE(evaluator.Evaluate(model->GetFrameSample(fadeFrom), out));
    for (int f = fadeFrom - 30; f <= end; ++f) {
        const FrameSample sample = model->GetFrameSample(f);
        const long long before = testing::AllocationCount();
        ASSERT_TRUE(evaluator.Evaluate(sample, out)) << f;
        EXPECT_EQ(testing::AllocationCount() - before, 0) << "frame " << f;
        CMotionManager freshManager;
        CPoseEvaluator fresh(freshManager, kRest);
        const std::unique_ptr<CHTR> expected = fresh.PoseOf(sample);
        ASSERT_TRUE(expected);
        ASSERT_EQ(Differing(out, *expected), std::set<std::string>()) << f;
    }
}

}  // namespace
}  // namespace tavrel
