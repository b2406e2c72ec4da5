// The import helper's answer: what it reads is what the reader reads in this process, bit for
// bit, and an answer that is cut or damaged anywhere is refused, never believed.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>

#include "AnimRead/SceneFileRead/SceneImport.h"
#include "AnimRead/SceneFileRead/SceneRecord.h"
#include "MotionFiles.h"
#include "motion/AnimFileFactory.h"
#include "tests/support/ColladaWriter.h"
#include "tests/support/SceneFigure.h"

namespace tavrel {
namespace {

using testing::SceneFigure;

void ExpectSameMotion(const SCENEFILEREAD& a, const SCENEFILEREAD& b) {
    ASSERT_EQ(a.GetSegmentCount(), b.GetSegmentCount());
    EXPECT_EQ(a.GetTakeName(), b.GetTakeName());
    EXPECT_EQ(a.GetTakes().size(), b.GetTakes().size());
    EXPECT_EQ(a.GetSkeletonCount(), b.GetSkeletonCount());
    EXPECT_EQ(a.GetSkeletonRoot(), b.GetSkeletonRoot());
    EXPECT_EQ(a.GetEndFrame(), b.GetEndFrame());
    EXPECT_EQ(a.GetFrameRate(), b.GetFrameRate());
    for (int32_t s = 0; s < a.GetSegmentCount(); ++s) {
        const ANIMSEG &x = *a.GetSegment(s), &y = *b.GetSegment(s);
        EXPECT_STREQ(x.name, y.name);
        EXPECT_EQ(x.parent, y.parent);
        EXPECT_EQ(x.length, y.length);
        EXPECT_EQ(std::memcmp(&a.GetRestMatrix(s), &b.GetRestMatrix(s), sizeof(rkMatrix)), 0);
        ASSERT_EQ(x.frames.size(), y.frames.size());
        EXPECT_EQ(std::memcmp(x.frames.data(), y.frames.data(), x.frames.size() * sizeof(rkMatrix)),
                  0)
            << x.name;
    }
}

// A small figure of two takes in each scene format.
std::vector<std::string> FigureFiles(const testing::TempDir& dir) {
    SceneFigure figure("mixamorig:");
    figure.takes = {{"Walk", 0.5}, {"Run", 0.25}};
    std::vector<std::string> files{dir / "figure.glb", dir / "figure.fbx", dir / "figure.dae"};
    EXPECT_TRUE(figure.Export(files[0], "glb2", true));
    EXPECT_TRUE(figure.Export(files[1], "fbxa"));
    EXPECT_TRUE(testing::ColladaWriter::Write(figure, files[2], {}));
    return files;
}

TEST(SceneRecord, TheHelperReadsWhatThisProcessReads) {
    testing::TempDir dir;
    for (const std::string& path : FigureFiles(dir)) {
        SCOPED_TRACE(path);
        const auto here = SCENEFILEREAD::ListTakes(path.c_str());
        const auto there = ImportSceneTakes(path);
        ASSERT_EQ(here.size(), there.size());
        for (size_t t = 0; t < here.size(); ++t) {
            EXPECT_EQ(here[t].name, there[t].name);
            EXPECT_EQ(here[t].seconds, there[t].seconds);
        }
        for (const std::string take : {"", "Run"}) {
            const SCENEFILEREAD local(path.c_str(), take, HumanSkeletonScore);
            ExpectSameMotion(local, *ImportSceneFile(path, take));
            ExpectSameMotion(local, *SCENERECORD::ReadMotion(SCENERECORD::OfMotion(local), "x"));
        }
    }
}

int32_t Code(const std::function<void()>& read, std::string* detail) {
    try {
        read();
    } catch (const ERROBJ& e) {
        *detail = e.detail;
        return e.code;
    }
    return ERR_OK;
}

TEST(SceneRecord, AnAnswerCutOrDamagedAnywhereIsRefused) {
    testing::TempDir dir;
    const std::string path = FigureFiles(dir)[0];
    const SCENEFILEREAD motion(path.c_str(), "", HumanSkeletonScore);
    const std::string record = SCENERECORD::OfMotion(motion);
    std::string detail;
    auto refused = [&](const std::string& bytes) {
        return Code([&] { SCENERECORD::ReadMotion(bytes, "x"); }, &detail) == ERR_CORRUPTED &&
               detail.find("damaged") != std::string::npos;
    };
    for (size_t size = 0; size < record.size(); size += 1 + size / 64)
        EXPECT_TRUE(refused(record.substr(0, size))) << "cut at " << size;
    EXPECT_TRUE(refused(record + "x"));

    // Where the head's fields lie: magic, version, kind, then the takes.
    const size_t takes = 4 + 4 + 1;
    size_t at = takes + 4;
    for (const auto& take : motion.GetTakes()) at += 4 + take.name.size() + 8;
    const size_t takeIndex = at, skeletons = at + 4, root = at + 8;
    const size_t frames = root + 4 + motion.GetSkeletonRoot().size(), joints = frames + 4;
    const size_t firstName = joints + 4;
    const size_t firstParent = firstName + 4 + std::strlen(motion.GetSegment(0)->name);
    const size_t secondParent =
        firstParent + 4 + 4 + 64 + 4 + std::strlen(motion.GetSegment(1)->name);
    auto with = [&](size_t where, auto value) {
        std::string bytes = record;
        std::memcpy(bytes.data() + where, &value, sizeof value);
        return bytes;
    };
    const struct {
        const char* label;
        std::string bytes;
    } damaged[] = {
        {"another kind", with(8, 'T')},
        {"another version", with(4, uint32_t{2})},
        {"no takes", with(takes, uint32_t{0})},
        {"a take past the takes", with(takeIndex, uint32_t{9})},
        {"no skeleton", with(skeletons, int32_t{0})},
        {"a root name of 4 GB", with(root, uint32_t{UINT_MAX})},
        {"too many frames", with(frames, int32_t{INT_MAX})},
        {"more frames than bytes", with(frames, int32_t{1000})},
        {"no frames", with(frames, int32_t{0})},
        {"too many joints", with(joints, int32_t{SCENEFILEREAD::kMaxJoints + 1})},
        {"a root with a parent", with(firstParent, int32_t{0})},
        {"a joint its own parent", with(secondParent, int32_t{1})},
        {"a second root", with(secondParent, int32_t{-1})},
        {"a number that is none", with(record.size() - 4, std::nanf(""))},
        {"an endless number", with(record.size() - 8, INFINITY)},
    };
    for (const auto& d : damaged) EXPECT_TRUE(refused(d.bytes)) << d.label << ": " << detail;
    EXPECT_FALSE(refused(record));

    SCENEFILEREAD twice(path.c_str(), "", HumanSkeletonScore);
    twice.GetSegment(1)->SetName(twice.GetSegment(0)->name, std::strlen(twice.GetSegment(0)->name));
    EXPECT_TRUE(refused(SCENERECORD::OfMotion(twice))) << "a name twice";
}

TEST(SceneRecord, ARefusalCrossesAsItWasMade) {
    const std::string record =
        SCENERECORD::OfError(ERROBJ(ERR_NOT_SUPPORTED, __FILE__, __LINE__, "no take named Jump"));
    std::string detail;
    EXPECT_EQ(Code([&] { SCENERECORD::ReadMotion(record, "x"); }, &detail), ERR_NOT_SUPPORTED);
    EXPECT_EQ(detail, "no take named Jump");
    EXPECT_EQ(Code([&] { SCENERECORD::ReadTakes(record); }, &detail), ERR_NOT_SUPPORTED);
    std::string unknown = record;
    unknown[9] = 9;  // a code no reader raises
    EXPECT_EQ(Code([&] { SCENERECORD::ReadTakes(unknown); }, &detail), ERR_CORRUPTED);
}

}  // namespace
}  // namespace tavrel
