// Another importer reads what our BVH writer writes: the same joints, frames and values.
#include <assimp/anim.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <cmath>
#include <string>

#include "AnimRead/BVHRead/BVHRead.h"
#include "MotionTestSupport.h"

using namespace tavrel;

namespace {

const aiNodeAnim* ChannelOf(const aiAnimation& animation, const char* name) {
    for (unsigned i = 0; i < animation.mNumChannels; ++i) {
        if (std::string(animation.mChannels[i]->mNodeName.C_Str()) == name)
            return animation.mChannels[i];
    }
    return nullptr;
}

TEST(BvhPeerTest, AnotherImporterReadsOurFiles) {
    motiontest::TempDir dir;
    auto motion = motiontest::MakeMotion(5);
    for (int32_t i = 0; i < motion->GetSegmentCount(); ++i) {
        for (int f = 0; f < 5; ++f) {
            rkMatrix& m = motion->GetSegment(i)->frames[f];
            const rkVector t{m.m[12], m.m[13], m.m[14]};
            rkRotationMatrix(&m, (i + f) % 3, 0.2f * (f + 1));
            m.m[12] = t.x, m.m[13] = t.y, m.m[14] = t.z;
        }
    }
    const std::string path = dir.File("peer.bvh");
    ASSERT_TRUE(motion->WriteAs(path.c_str(), ANIMFILE::kFormatBvh));
    BVHREAD ours(path.c_str(), 1);

    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    ASSERT_EQ(scene->mNumAnimations, 1u);
    const aiAnimation& animation = *scene->mAnimations[0];
    for (int32_t i = 0; i < ours.GetSegmentCount(); ++i) {
        const ANIMSEG& segment = *ours.GetSegment(i);
        ASSERT_NE(scene->mRootNode->FindNode(segment.name), nullptr) << segment.name;
        const aiNodeAnim* channel = ChannelOf(animation, segment.name);
        ASSERT_NE(channel, nullptr) << segment.name;
        ASSERT_EQ(channel->mNumRotationKeys, 5u);
        for (unsigned f = 0; f < 5; ++f) {
            // Compare the rotation each reader makes of the same text (the root's ours is
            // turned into Z-up, so compare a child's).
            if (segment.parent < 0) continue;
            const aiMatrix3x3 r = channel->mRotationKeys[f].mValue.GetMatrix();
            const rkMatrix& m = segment.frames[f];
            for (int row = 0; row < 3; ++row) {
                for (int col = 0; col < 3; ++col) {
                    // Theirs acts on column vectors, ours on rows: one is the other transposed.
                    EXPECT_NEAR(r[row][col], m.m[col * 4 + row], 1e-3f)
                        << segment.name << " frame " << f;
                }
            }
        }
    }
    // The root's position keys are the file's Y-up values of our Z-up root.
    const aiNodeAnim* root = ChannelOf(animation, ours.GetSegment(0)->name);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->mNumPositionKeys, 5u);
    const rkMatrix& m = motion->GetSegment(0)->frames[2];
    EXPECT_NEAR(root->mPositionKeys[2].mValue.x, m.m[12], 1e-3f);
    EXPECT_NEAR(root->mPositionKeys[2].mValue.y, m.m[14], 1e-3f);
    EXPECT_NEAR(root->mPositionKeys[2].mValue.z, -m.m[13], 1e-3f);
}

}  // namespace
