#include "AnimRead/AnimFile.h"

#include <gtest/gtest.h>

#include <cstring>

#include "AnimRead/CHARead/CHARead.h"
#include "AnimRead/CHBRead/CHBRead.h"
#include "AnimRead/StandardSkeleton.h"
#include "MotionTestSupport.h"

using namespace tavrel;

using motiontest::MakeMotion;

namespace {

bool SameMatrix(const rkMatrix& a, const rkMatrix& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

rkMatrix Translation(float x, float y, float z) {
    rkMatrix m;
    rkIdentity(&m);
    m.m[12] = x;
    m.m[13] = y;
    m.m[14] = z;
    return m;
}

}  // namespace

TEST(AnimFileTest, DefaultMotionIsTheStandardSkeletonAtRest) {
    CHAREAD cha;
    CHBREAD chb;
    for (const ANIMFILE* motion : {static_cast<const ANIMFILE*>(&cha), static_cast<const ANIMFILE*>(&chb)}) {
        ASSERT_EQ(motion->GetSegmentCount(), 20);
        EXPECT_EQ(motion->GetBeginFrame(), 0);
        EXPECT_EQ(motion->GetEndFrame(), 0);
        EXPECT_EQ(motion->GetFrameRate(), 30);
        EXPECT_STREQ(motion->GetPath(), "");
        EXPECT_EQ(motion->GetMotionOffset(), 0);
        ASSERT_NE(motion->GetRoot(), nullptr);
        EXPECT_STREQ(motion->GetRoot()->name, "LowerTorso");
        for (int i = 0; i < 20; ++i) {
            const ANIMSEG& segment = *motion->GetSegment(i);
            const StandardSegment& entry = kStandardSkeleton[i];
            SCOPED_TRACE(entry.name);
            EXPECT_STREQ(segment.name, entry.name);
            EXPECT_STREQ(segment.node->name, entry.name);
            EXPECT_EQ(segment.parent, entry.parent);
            EXPECT_FLOAT_EQ(segment.length, entry.length);
            ASSERT_EQ(segment.frames.size(), 1u);
            // The node tree is linked as the table says.
            EXPECT_EQ(segment.node->parent,
                      entry.parent < 0 ? nullptr : motion->GetSegment(entry.parent)->node);
            EXPECT_EQ(rkFindNode(motion->GetRoot(), entry.name), segment.node);
        }
    }
    // Children in table order, and a few rest-pose values.
    EXPECT_EQ(cha.GetSegment(0)->children, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(cha.GetSegment(10)->children, (std::vector<int32_t>{11, 12, 19}));
    const rkMatrix& torso = cha.GetSegment(0)->frames[0];
    EXPECT_FLOAT_EQ(torso.m[5], -0.026f);
    EXPECT_FLOAT_EQ(torso.m[6], 1.0f);
    EXPECT_FLOAT_EQ(torso.m[9], -1.0f);
    EXPECT_FLOAT_EQ(torso.m[13], -14.924f);
    EXPECT_FLOAT_EQ(torso.m[14], 998.126f);
    EXPECT_EQ(torso.m[3], 0.0f);
    EXPECT_EQ(torso.m[15], 1.0f);
    const rkMatrix& lhand = cha.GetSegment(17)->frames[0];
    EXPECT_FLOAT_EQ(lhand.m[1], -0.065f);
    EXPECT_FLOAT_EQ(lhand.m[13], 254.473f);
}

TEST(AnimFileTest, FilesOfTheFirstStandardSkeletonAreReadOntoTodaysInEveryFormat) {
    // A motion written on the first skeleton: its lengths, and frames whose translations are
    // in its units, the root standing on its floor and walking along.
    const float s = FirstStandardSkeleton::kScale, floor = FirstStandardSkeleton::kFloor;
    CHBREAD first;
    for (int i = 0; i < kStandardSegmentCount; ++i) {
        first.GetSegment(i)->length = FirstStandardSkeleton::kLengths[i];
    }
    CHBREAD today;
    for (int f = 0; f < 4; ++f) {
        rkNode* pose = rkCloneNode(today.GetFrame(0));
        for (int i = 0; i < kStandardSegmentCount; ++i) {
            rkNode* node = rkFindNode(pose, kStandardSkeleton[i].name);
            const bool root = i == 0;
            for (int e = 12; e < 15; ++e) {
                node->local.m[e] /= s;
            }
            if (root) node->local.m[14] += floor, node->local.m[12] += 10.0f * f;
        }
        first.SetFrame(pose, f);
        rkFreeTree(pose);
    }
    motiontest::TempDir dir;
    for (int format : {0, 1}) {
        const std::string path = dir.File(format ? "first.chb" : "first.cha");
        ASSERT_TRUE(first.WriteAs(path.c_str(), format));
        for (int preload : {0, 1}) {
            std::unique_ptr<ANIMFILE> read;
            if (format)
                read = std::make_unique<CHBREAD>(path.c_str(), preload);
            else
                read = std::make_unique<CHAREAD>(path.c_str(), preload);
            SCOPED_TRACE(path + (preload ? " preloaded" : " streamed"));
            for (int i = 0; i < kStandardSegmentCount; ++i) {
                EXPECT_NEAR(read->GetSegment(i)->length, kStandardSkeleton[i].length, 0.05f);
            }
            for (int f = 0; f < 4; ++f) {
                read->GetFrame(f);
                for (int i = 0; i < kStandardSegmentCount; ++i) {
                    const rkMatrix& got = read->GetSegment(i)->node->local;
                    const float* rest = kStandardSkeleton[i].pose;
                    const float along = i == 0 ? 10.0f * s * f : 0.0f;
                    EXPECT_NEAR(got.m[12], rest[9] + along, 0.05f) << i;
                    EXPECT_NEAR(got.m[13], rest[10], 0.05f) << i;
                    EXPECT_NEAR(got.m[14], rest[11], 0.05f) << i;
                    EXPECT_EQ(got.m[0], rest[0]);
                }
            }
            // Written again, it is a file of today's skeleton, read as it is.
            const std::string again = dir.File(format ? "again.chb" : "again.cha");
            ASSERT_TRUE(read->WriteAs(again.c_str(), format));
            std::unique_ptr<ANIMFILE> reread;
            if (format)
                reread = std::make_unique<CHBREAD>(again.c_str(), 1);
            else
                reread = std::make_unique<CHAREAD>(again.c_str(), 1);
            reread->GetFrame(3);
            EXPECT_NEAR(reread->GetRoot()->local.m[12], 30.0f * s, 0.05f);
            EXPECT_NEAR(reread->GetRoot()->local.m[14], kStandardSkeleton[0].pose[11], 0.05f);
        }
    }
}

TEST(AnimFileTest, PoseRequestsOutsideTheRangeAreClamped) {
    auto motion = MakeMotion(4, 10);  // frames 10 .. 13
    ASSERT_EQ(motion->GetBeginFrame(), 10);
    ASSERT_EQ(motion->GetEndFrame(), 13);
    const ANIMSEG& head = *motion->GetSegment(19);

    rkNode* root = motion->GetFrame(-1000);
    EXPECT_EQ(root, motion->GetRoot());
    EXPECT_TRUE(SameMatrix(head.node->local, head.frames[0]));
    motion->GetFrame(12);
    EXPECT_TRUE(SameMatrix(head.node->local, head.frames[2]));
    motion->GetFrame(INT32_MAX);
    EXPECT_TRUE(SameMatrix(head.node->local, head.frames[3]));
}

TEST(AnimFileTest, StoringBeyondTheEndRepeatsTheOldEndFrame) {
    auto motion = MakeMotion(3);  // frames 0 .. 2
    const rkMatrix oldEnd = motion->GetSegment(5)->frames[2];
    rkNode* root = motion->GetFrame(0);
    rkNode* pose = rkCloneNode(root);
    rkSetNodeMatrix(rkFindNode(pose, "RThigh"), Translation(1, 2, 3));
    motion->SetFrame(pose, 5);  // end + 3

    EXPECT_EQ(motion->GetBeginFrame(), 0);
    EXPECT_EQ(motion->GetEndFrame(), 5);
    const ANIMSEG& thigh = *motion->GetSegment(5);
    ASSERT_EQ(thigh.frames.size(), 6u);
    EXPECT_TRUE(SameMatrix(thigh.frames[3], oldEnd));
    EXPECT_TRUE(SameMatrix(thigh.frames[4], oldEnd));
    EXPECT_TRUE(SameMatrix(thigh.frames[5], Translation(1, 2, 3)));
    // Segments the pose leaves as they were store the pose's matrix, not the old end.
    EXPECT_TRUE(SameMatrix(motion->GetSegment(0)->frames[5], pose->local));
    for (int i = 0; i < motion->GetSegmentCount(); ++i) {
        EXPECT_EQ(motion->GetSegment(i)->frames.size(), 6u);
    }
    rkFreeTree(pose);
}

TEST(AnimFileTest, StoringBeforeTheBeginRepeatsTheOldBeginFrame) {
    auto motion = MakeMotion(2, 0);
    const rkMatrix oldBegin = motion->GetSegment(0)->frames[0];
    rkNode* pose = rkCloneNode(motion->GetFrame(1));
    rkSetNodeMatrix(pose, Translation(7, 8, 9));
    motion->SetFrame(pose, -3);
    EXPECT_EQ(motion->GetBeginFrame(), -3);
    EXPECT_EQ(motion->GetEndFrame(), 1);
    const ANIMSEG& torso = *motion->GetSegment(0);
    ASSERT_EQ(torso.frames.size(), 5u);
    EXPECT_TRUE(SameMatrix(torso.frames[0], Translation(7, 8, 9)));
    EXPECT_TRUE(SameMatrix(torso.frames[1], oldBegin));
    EXPECT_TRUE(SameMatrix(torso.frames[2], oldBegin));
    EXPECT_TRUE(SameMatrix(torso.frames[3], oldBegin));
    rkFreeTree(pose);
}

TEST(AnimFileTest, PoseSiblingsAreMatchedByName) {
    CHBREAD motion;
    rkNode* pose = rkCloneNode(motion.GetFrame(0));
    // Put the pelvis nodes in the other order under the torso: UpperTorso stays first child.
    rkNode* torso = pose;
    rkNode* left = rkFindNode(pose, "LPelvis");
    rkNode* right = rkFindNode(pose, "RPelvis");
    rkUnlinkNode(torso, left);
    rkUnlinkNode(torso, right);
    rkLinkNode(torso, right);
    rkLinkNode(torso, left);
    rkSetNodeMatrix(left, Translation(1, 0, 0));
    rkSetNodeMatrix(right, Translation(0, 1, 0));
    rkSetNodeMatrix(rkFindNode(pose, "LFoot"), Translation(0, 0, 1));

    motion.SetFrame(pose, 0);
    EXPECT_TRUE(SameMatrix(motion.GetSegment(2)->frames[0], Translation(1, 0, 0)));
    EXPECT_TRUE(SameMatrix(motion.GetSegment(3)->frames[0], Translation(0, 1, 0)));
    EXPECT_TRUE(SameMatrix(motion.GetSegment(8)->frames[0], Translation(0, 0, 1)));
    rkFreeTree(pose);
}

TEST(AnimFileTest, SegmentLengthTableFollowsSegmentOrder) {
    CHAREAD motion;
    std::unique_ptr<ANIMSEGLENGTH[]> table;
    ASSERT_EQ(motion.GetSegmentLengths(table), 20);
    for (int i = 0; i < 20; ++i) {
        EXPECT_STREQ(table[i].name, kStandardSkeleton[i].name);
        EXPECT_FLOAT_EQ(table[i].length, kStandardSkeleton[i].length);
    }
}

TEST(AnimFileTest, RangeSetBeyondTheFramesHeldNeverReadsPastThem) {
    // SetEndFrame only stores the number; poses and files must still stay within the frames.
    motiontest::TempDir dir;
    auto motion = MakeMotion(2);
    motion->SetEndFrame(4);
    motion->GetFrame(4);
    const ANIMSEG& head = *motion->GetSegment(19);
    EXPECT_TRUE(SameMatrix(head.node->local, head.frames[1]));

    motion->WriteAs(dir.File("long.chb").c_str(), 1);
    CHBREAD back(dir.File("long.chb").c_str(), 1);
    EXPECT_EQ(back.GetEndFrame(), 4);
    EXPECT_TRUE(SameMatrix(back.GetSegment(19)->frames[4], head.frames[1]));

    motion->SetFrame(motion->GetRoot(), 3);
    EXPECT_EQ(head.frames.size(), 5u);
}

TEST(AnimFileTest, WritingToAFolderThatDoesNotExistDoesNothing) {
    motiontest::TempDir dir;
    CHBREAD motion;
    const std::string path = dir.File("missing/out.cha");
    EXPECT_FALSE(motion.WriteAs(path.c_str(), 0));
    EXPECT_FALSE(motion.WriteAs(path.c_str(), 1));
    EXPECT_FALSE(motion.Write(0));  // a default motion has no path
    EXPECT_FALSE(std::filesystem::exists(path));
}

// Poses fed one by one are written as WriteAs would write them stored, in either format; a
// missing pose fails the write and leaves the file there as it was; the record keeps its range.
TEST(AnimFileTest, PosesFedToTheWriterMatchStoredOnesAndAMissingOneWritesNothing) {
    motiontest::TempDir dir;
    auto source = MakeMotion(7);
    for (int format : {0, 1}) {
        const std::string ext = format ? ".chb" : ".cha";
        const std::string stored = dir.File("stored" + ext), fed = dir.File("fed" + ext);
        ASSERT_TRUE(source->WriteAs(stored.c_str(), format));
        CHBREAD record;
        int next = 0;
        ASSERT_TRUE(
            record.WritePosesAs(fed.c_str(), format, 7, [&] { return source->GetFrame(next++); }));
        EXPECT_EQ(motiontest::ReadAll(fed), motiontest::ReadAll(stored)) << ext;
        EXPECT_EQ(record.GetEndFrame(), 0);
        next = 0;
        EXPECT_FALSE(record.WritePosesAs(fed.c_str(), format, 7, [&]() -> const rkNode* {
            return next < 3 ? source->GetFrame(next++) : nullptr;
        }));
        EXPECT_EQ(motiontest::ReadAll(fed), motiontest::ReadAll(stored)) << ext;
        EXPECT_FALSE(
            record.WritePosesAs(fed.c_str(), ANIMFILE::kFormatBvh, 7, [&] { return nullptr; }));
    }
}
