#include "AnimRead/CHARead/CHARead.h"

#include <gtest/gtest.h>

#include <string>

#include "AnimRead/CHBRead/CHBRead.h"
#include "MotionTestSupport.h"

using namespace tavrel;

using motiontest::MakeMotion;
using motiontest::ReadAll;
using motiontest::WriteAll;

namespace {

// Three segments, frames 1 and 2. Line numbers: tags on 1, 8, 13 and 18; frame lines on 19, 24.
const std::string kSmall =
    "[HEADER]\n"
    "VersionNumber 721\n"
    "DataFrameRate 60\n"
    "BeginFrame 1\n"
    "EndFrame 2\n"
    "NumSegments 3\n"
    "\n"
    "[LENGTH]\n"
    "Hips 10.0\n"
    "Spine 20.5\n"
    "Leg 30.25\n"
    "\n"
    "[HIERARCHY]\n"
    "Hips\t\tGlobal\n"
    "Spine\t\tHips\n"
    "Leg\t\tHips\n"
    "\n"
    "[MOTION]\n"
    "Frame 1\n"
    "Hips 1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 6, 7\n"
    "Spine 0, 1, 0, -1, 0, 0, 0, 0, 1, 0, 10, 0\n"
    "Leg 1, 0, 0, 0, 0, 1, 0, -1, 0, 0.5, -0.25, 0\n"
    "\n"
    "Frame 2\n"
    "Hips 1, 0, 0, 0, 1, 0, 0, 0, 1, 8, 9, 10\n"
    "Spine 0, 1, 0, -1, 0, 0, 0, 0, 1, 0, 11, 0\n"
    "Leg 1, 0, 0, 0, 0, 1, 0, -1, 0, 0.5, -0.5, 0\n"
    "\n";

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

class ChaReadTest : public ::testing::Test {
protected:
    std::string Put(const std::string& text, const std::string& name = "m.cha") {
        const std::string path = dir_.File(name);
        WriteAll(path, text);
        return path;
    }
    ERROBJ ReadError(const std::string& text, int preload = 1) {
        const std::string path = Put(text);
        return motiontest::CatchError([&] { CHAREAD motion(path.c_str(), preload); });
    }

    motiontest::TempDir dir_;
};

}  // namespace

TEST_F(ChaReadTest, ReadsHeaderSkeletonAndFrames) {
    CHAREAD motion(Put(kSmall).c_str(), 1);
    EXPECT_EQ(motion.GetFrameRate(), 60);
    EXPECT_EQ(motion.GetBeginFrame(), 1);
    EXPECT_EQ(motion.GetEndFrame(), 2);
    EXPECT_EQ(motion.GetMotionOffset(), 0);
    EXPECT_STREQ(motion.GetPath(), dir_.File("m.cha").c_str());
    ASSERT_EQ(motion.GetSegmentCount(), 3);
    EXPECT_STREQ(motion.GetRoot()->name, "Hips");
    EXPECT_FLOAT_EQ(motion.GetSegment(2)->length, 30.25f);
    EXPECT_EQ(motion.GetSegment(0)->children, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(motion.GetSegment(2)->parent, 0);
    const rkMatrix& leg = motion.GetSegment(2)->frames[1];
    EXPECT_EQ(leg.m[6], 1.0f);
    EXPECT_EQ(leg.m[9], -1.0f);
    EXPECT_EQ(leg.m[13], -0.5f);
    EXPECT_EQ(leg.m[3], 0.0f);
    EXPECT_EQ(leg.m[15], 1.0f);
    rkNode* root = motion.GetFrame(2);
    EXPECT_EQ(root->local.m[12], 8.0f);
    EXPECT_EQ(root->child->local.m[13], 11.0f);
}

TEST_F(ChaReadTest, WrittenMotionReadsBackToThreeDecimals) {
    auto source = MakeMotion(6, -2);
    for (int preload : {1, 0}) {
        SCOPED_TRACE(preload);
        source->WriteAs(dir_.File("round.cha").c_str(), 0);
        CHAREAD back(dir_.File("round.cha").c_str(), preload);
        back.GetFrame(0);
        motiontest::ExpectSameMotion(*source, back, 0.00055f);
    }
}

TEST_F(ChaReadTest, LayoutVariationsReadTheSame) {
    CHAREAD plain(Put(kSmall, "plain.cha").c_str(), 1);
    std::string spaced = Replace(kSmall, "\n[LENGTH]", "\n\n\n[LENGTH]");
    spaced = Replace(spaced, "\nFrame 2\n", "\n\n\nFrame 2\n\n");
    std::string reordered = Replace(kSmall,
                                    "Hips 1, 0, 0, 0, 1, 0, 0, 0, 1, 8, 9, 10\n"
                                    "Spine 0, 1, 0, -1, 0, 0, 0, 0, 1, 0, 11, 0\n"
                                    "Leg 1, 0, 0, 0, 0, 1, 0, -1, 0, 0.5, -0.5, 0\n",
                                    "Leg 1, 0, 0, 0, 0, 1, 0, -1, 0, 0.5, -0.5, 0\n"
                                    "Spine 0, 1, 0, -1, 0, 0, 0, 0, 1, 0, 11, 0\n"
                                    "Hips 1, 0, 0, 0, 1, 0, 0, 0, 1, 8, 9, 10\n");
    std::string tags = Replace(kSmall, "[HEADER]", "[header] written by hand");
    tags = Replace(tags, "[MOTION]", "[Motion]");
    std::string crlf;
    for (char c : kSmall) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::string blanks = Replace(kSmall, "Spine\t\tHips", "  Spine   Hips  ");
    blanks = Replace(blanks, "NumSegments 3", "NumSegments\t+3");

    for (const std::string& text : {spaced, reordered, tags, crlf, blanks}) {
        CHAREAD variant(Put(text, "variant.cha").c_str(), 1);
        motiontest::ExpectSameMotion(plain, variant, 0.0f);
    }
}

TEST_F(ChaReadTest, VersionIsCheckedBeforeTheRestOfTheHeader) {
    EXPECT_EQ(ReadError("[HEADER]\nVersionNumber 722\n").code, ERR_EXPIRED);
    EXPECT_EQ(ReadError("[HEADER]\nVersionNumber 720\n").code, ERR_READER_EXPIRED);
    const ERROBJ newer = ReadError(Replace(kSmall, "721", "722"));
    EXPECT_EQ(newer.code, ERR_EXPIRED);
    EXPECT_STREQ(newer.detail, "");
    EXPECT_EQ(std::string(newer.location).rfind("AnimRead/CHARead/CHARead Line:", 0), 0u);
}

TEST_F(ChaReadTest, FrameRangeOfOneAndBackwards) {
    std::string single = Replace(kSmall, "EndFrame 2", "EndFrame 1");
    CHAREAD one(Put(single).c_str(), 1);
    EXPECT_EQ(one.GetEndFrame(), 1);
    EXPECT_EQ(one.GetSegment(0)->frames.size(), 1u);
    const ERROBJ backwards = ReadError(Replace(kSmall, "EndFrame 2", "EndFrame 0"));
    EXPECT_EQ(backwards.code, ERR_CORRUPTED);
    EXPECT_STREQ(backwards.detail, "end frame < begin frame");
}

TEST_F(ChaReadTest, SyntaxErrorsNameTheLine) {
    struct Case {
        std::string from, to, detail;
    };
    const Case cases[] = {
        {"Leg 1, 0, 0, 0, 0, 1, 0, -1, 0, 0.5, -0.25, 0\n", "", "At parsing : Frame 2"},
        {"0.5, -0.25, 0\n", "0.5, -0.25\n", "At parsing : Leg 1, 0, 0, 0, 0, 1, 0, -1, 0, 0.5, -0.25"},
        {"0, 0.5, -0.5", "0 , 0.5, -0.5", "At parsing : Leg 1, 0, 0, 0, 0, 1, 0, -1, 0 , 0.5, -0.5, 0"},
        {"[HEADER]", "[HEADR]", "At Line: 1"},
        {"[HEADER]", "\n\n[HEADR]", "At Line: 3"},
        {"[HIERARCHY]", "[HIERARCHIES", "At Line: 13"},
        {"\nFrame 2", "\nFrame 3", "At Line: 24"},
        {"\nFrame 2", "\nFrme 2", "At parsing : Frme 2"},
        {"VersionNumber 721", "versionnumber 721", "At parsing : versionnumber 721"},
        {"DataFrameRate 60", "DataFrameRate sixty", "At parsing : DataFrameRate sixty"},
        {"BeginFrame 1", "BeginFrame 99999999999", "At parsing : BeginFrame 99999999999"},
        {"Spine 20.5", "Spine", "At parsing : Spine"},
        {"Leg\t\tHips", "Leg", "At parsing : Leg"},
        {"Leg\t\tHips", "Arm\t\tHips", "At parsing : Arm\t\tHips"},
        {"NumSegments 3", "NumSegments 0", "At parsing : NumSegments 0"},
        {"NumSegments 3", "NumSegments -4", "At parsing : NumSegments -4"},
        {"NumSegments 3", "NumSegments 2147483647", "At parsing : NumSegments 2147483647"},
        {"Hips 1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 6, 7\n", "Hip 1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 6, 7\n",
         "Not all segments exist in frame 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        const ERROBJ error = ReadError(Replace(kSmall, c.from, c.to));
        EXPECT_EQ(error.code, ERR_CORRUPTED);
        EXPECT_STREQ(error.detail, c.detail.c_str());
    }
}

TEST_F(ChaReadTest, AFrameOfUnknownNamesCannotLeaveSegmentsShort) {
    std::string text = Replace(kSmall, "Hips 1, 0, 0, 0, 1, 0, 0, 0, 1, 8", "X 1, 0, 0, 0, 1, 0, 0, 0, 1, 8");
    text = Replace(text, "Spine 0, 1, 0, -1, 0, 0, 0, 0, 1, 0, 11", "Y 0, 1, 0, -1, 0, 0, 0, 0, 1, 0, 11");
    text = Replace(text, "Leg 1, 0, 0, 0, 0, 1, 0, -1, 0, 0.5, -0.5", "Z 1, 0, 0, 0, 0, 1, 0, -1, 0, 0.5, -0.5");
    const ERROBJ error = ReadError(text);
    EXPECT_EQ(error.code, ERR_CORRUPTED);
    EXPECT_STREQ(error.detail, "Not all segments exist in frame 2");
}

TEST_F(ChaReadTest, EndOfFileWhereALineIsExpected) {
    EXPECT_STREQ(ReadError("").detail, "at Ln:0");
    EXPECT_STREQ(ReadError(kSmall.substr(0, kSmall.find("[MOTION]"))).detail, "at Ln:17");
    const ERROBJ cut = ReadError(kSmall.substr(0, kSmall.find("Leg 1, 0, 0, 0, 0, 1, 0, -1, 0, 0.5, -0.5")));
    EXPECT_EQ(cut.code, ERR_CORRUPTED);
    EXPECT_STREQ(cut.detail, "at Ln:26");
}

TEST_F(ChaReadTest, HierarchyMustFormATree) {
    // A loop through the root, a segment its own parent, a segment placed twice.
    EXPECT_EQ(ReadError(Replace(kSmall, "Hips\t\tGlobal", "Hips\t\tSpine")).code, ERR_CORRUPTED);
    EXPECT_EQ(ReadError(Replace(kSmall, "Spine\t\tHips", "Spine\t\tSpine")).code, ERR_CORRUPTED);
    EXPECT_STREQ(ReadError(Replace(kSmall, "Leg\t\tHips", "Spine\t\tLeg")).detail,
                 "At parsing : Spine\t\tLeg");
    // An unknown parent leaves its child unlinked, as before.
    CHAREAD loose(Put(Replace(kSmall, "Leg\t\tHips", "Leg\t\tTail")).c_str(), 1);
    EXPECT_EQ(loose.GetSegment(2)->parent, -1);
    EXPECT_EQ(loose.GetSegment(2)->node->parent, nullptr);
    EXPECT_EQ(loose.GetSegment(0)->children, std::vector<int32_t>{1});
}

TEST_F(ChaReadTest, AMotionWithoutARootIsRefused) {
    // No line names the parent "Global" (the case counts): nothing to pose or place in the world.
    for (const char* parent : {"Hips\t\tTail", "Hips\t\tglobal"}) {
        EXPECT_ERROBJ(CHAREAD(Put(Replace(kSmall, "Hips\t\tGlobal", parent)).c_str(), 0),
                      ERR_CORRUPTED, "No root: no hierarchy line has the parent Global");
    }
    // Two roots stay readable; the last one is the motion's root.
    CHAREAD two(Put(Replace(kSmall, "Leg\t\tHips", "Leg\t\tGlobal")).c_str(), 1);
    EXPECT_EQ(two.GetRoot(), two.GetSegment(2)->node);
}

TEST_F(ChaReadTest, StreamingWritesWhatAFullReadWrites) {
    auto source = MakeMotion(6, 3);
    source->WriteAs(dir_.File("s.cha").c_str(), 0);
    CHAREAD full(dir_.File("s.cha").c_str(), 1);
    for (int format : {0, 1}) {
        const std::string name = format ? "x.chb" : "x.cha";
        CHAREAD lazy(dir_.File("s.cha").c_str(), 0);
        ASSERT_TRUE(lazy.StreamAs(dir_.File("streamed." + name).c_str(), format));
        EXPECT_TRUE(lazy.GetSegment(0)->frames.empty());  // nothing was kept
        full.WriteAs(dir_.File("full." + name).c_str(), format);
        EXPECT_EQ(ReadAll(dir_.File("streamed." + name)), ReadAll(dir_.File("full." + name)));
    }
    // Frame lines in any order, then a frame that lacks a segment: the stream stops there.
    std::string text = ReadAll(dir_.File("s.cha"));
    const size_t second = text.find("\nLowerTorso", text.find("Frame 4"));
    const size_t line = text.find("\nUpperTorso", second);
    std::string swapped = text;
    swapped.replace(second, line - second, "");
    swapped.insert(swapped.find("\nLPelvis", second), text.substr(second, line - second));
    CHAREAD shuffled(Put(swapped).c_str(), 0);
    EXPECT_TRUE(shuffled.StreamAs(dir_.File("shuffled.cha").c_str(), 0));
    EXPECT_EQ(ReadAll(dir_.File("shuffled.cha")), ReadAll(dir_.File("full.x.cha")));
    std::string damaged = text;
    damaged.replace(damaged.find("RHand", damaged.find("Frame 6")), 5, "RHanx");
    CHAREAD broken(Put(damaged).c_str(), 0);
    EXPECT_ERROBJ(broken.StreamAs(dir_.File("broken.chb").c_str(), 1), ERR_CORRUPTED,
                  "Not all segments exist in frame 6");
}

TEST_F(ChaReadTest, NamesLongerThanANodeNameKeepTheirSegmentName) {
    const std::string longName(40, 'n'), tooLong(80, 't');
    CHAREAD motion(Put(ReplaceAll(kSmall, "Spine", longName)).c_str(), 1);
    EXPECT_EQ(std::string(motion.GetSegment(1)->name), longName);
    EXPECT_EQ(std::string(motion.GetSegment(1)->node->name), longName.substr(0, 31));
    EXPECT_EQ(motion.GetSegment(1)->frames.size(), 2u);
    EXPECT_EQ(ReadError(Replace(kSmall, "Spine 20.5", tooLong + " 20.5")).code, ERR_CORRUPTED);
}

TEST_F(ChaReadTest, LinesOverTheLengthLimitAreCutIntoTwo) {
    const std::string padding(300, ' ');
    const ERROBJ error = ReadError(Replace(kSmall, "Hips 10.0", "Hips" + padding + "10.0"));
    EXPECT_EQ(error.code, ERR_CORRUPTED);
    // The first 255 characters are the line; the detail keeps what fits in it.
    const std::string line = "Hips" + padding.substr(0, 251);
    EXPECT_STREQ(error.detail, ("At parsing : " + line).substr(0, 255).c_str());
}

TEST_F(ChaReadTest, FramesAreReadAtTheFirstPoseRequest) {
    const std::string path = Put(kSmall);
    CHAREAD lazy(path.c_str(), 0);
    EXPECT_NE(lazy.GetMotionOffset(), 0);
    EXPECT_TRUE(lazy.GetSegment(0)->frames.empty());
    EXPECT_EQ(lazy.GetFrame(5)->local.m[12], 8.0f);  // clamped to frame 2
    EXPECT_EQ(lazy.GetMotionOffset(), 0);
    std::filesystem::remove(path);  // no longer needed
    EXPECT_EQ(lazy.GetFrame(1)->local.m[12], 5.0f);

    Put(kSmall);
    CHAREAD gone(path.c_str(), 0);
    std::filesystem::remove(path);
    EXPECT_ERROBJ(gone.GetFrame(1), ERR_FILE_NOT_FOUND, "");
    EXPECT_ERROBJ(CHAREAD(path.c_str(), 1), ERR_FILE_NOT_FOUND, "");

    // A file cut short under a waiting motion reads as corrupted.
    Put(kSmall);
    CHAREAD shrunk(path.c_str(), 0);
    Put("[HEADER]\n");
    EXPECT_EQ(motiontest::CatchError([&] { shrunk.GetFrame(1); }).code, ERR_CORRUPTED);
}

TEST_F(ChaReadTest, FrameErrorsOfALazyReadCountLinesFromTheMotionOffset) {
    CHAREAD lazy(Put(Replace(kSmall, "\nFrame 2", "\nFrame 3")).c_str(), 0);
    // [MOTION] is line 2 after the offset (the empty line comes first), Frame 3 is line 8.
    EXPECT_ERROBJ(lazy.GetFrame(1), ERR_CORRUPTED, "At Line: 8");
}

TEST_F(ChaReadTest, StreamModeReadsUpToTheRequestedFrameEachTime) {
    auto source = MakeMotion(5);
    source->WriteAs(dir_.File("s.cha").c_str(), 0);
    CHAREAD stream(dir_.File("s.cha").c_str(), 0);
    stream.SetStreamMode(1);
    stream.GetFrame(2);
    EXPECT_EQ(stream.GetSegment(3)->frames.size(), 3u);
    EXPECT_NE(stream.GetMotionOffset(), 0);
    stream.GetFrame(1);
    EXPECT_EQ(stream.GetSegment(3)->frames.size(), 2u);
    EXPECT_NEAR(stream.GetSegment(3)->node->local.m[13], source->GetSegment(3)->frames[1].m[13],
                0.0005f);

    // A stored pose is not lost to a later re-read of the file.
    rkNode* pose = rkCloneNode(stream.GetRoot());
    pose->local.m[12] = 42.0f;
    stream.SetFrame(pose, 4);
    rkFreeTree(pose);
    EXPECT_EQ(stream.GetFrame(4)->local.m[12], 42.0f);
    EXPECT_EQ(stream.GetSegment(3)->frames.size(), 5u);
}

TEST_F(ChaReadTest, WritingALazyMotionWritesAllItsFrames) {
    auto source = MakeMotion(4);
    source->WriteAs(dir_.File("a.cha").c_str(), 0);
    CHAREAD lazy(dir_.File("a.cha").c_str(), 0);
    lazy.WriteAs(dir_.File("b.cha").c_str(), 0);
    EXPECT_EQ(ReadAll(dir_.File("b.cha")), ReadAll(dir_.File("a.cha")));
    lazy.Write(0);  // over its own file
    EXPECT_EQ(ReadAll(dir_.File("a.cha")), ReadAll(dir_.File("b.cha")));
}

TEST_F(ChaReadTest, AbsurdCountsFailWithoutAllocatingForThem) {
    std::string frames = Replace(kSmall, "BeginFrame 1", "BeginFrame -2147483648");
    frames = Replace(frames, "EndFrame 2", "EndFrame 2147483647");
    EXPECT_EQ(ReadError(frames).code, ERR_CORRUPTED);
    CHAREAD lazy(Put(frames).c_str(), 0);
    EXPECT_EQ(motiontest::CatchError([&] { lazy.GetFrame(0); }).code, ERR_CORRUPTED);
}
