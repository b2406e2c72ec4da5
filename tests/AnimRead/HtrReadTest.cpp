#include "AnimRead/HTRRead/HTRRead.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "AnimRead/CHARead/CHARead.h"

using namespace tavrel;

namespace {

namespace fs = std::filesystem;

// How an exporter lays out its HTR text.
struct Style {
    std::string sep = " ";          // between values
    std::string fileType = "htr";
    bool comments = false;          // "#" lines and empty lines between lines
    bool endOfFile = false;         // a trailing [EndOfFile] section
    int firstFrameNumber = 1;
    bool finalBreak = true;
    std::string rotationUnits = "Degrees";
    std::string eulerOrder = "ZYX";
    std::string gravity = "Y";
    float scale = 1.0f;
};

struct Segment {
    std::string name, parent;
    float base[7];  // Tx Ty Tz Rx Ry Rz length
};

// A chain of n segments: seg0 is the root, each next one hangs under the one before.
std::vector<Segment> Chain(int n, const std::string& prefix = "seg") {
    std::vector<Segment> s;
    for (int i = 0; i < n; ++i) {
        s.push_back({prefix + std::to_string(i), i == 0 ? "GLOBAL" : prefix + std::to_string(i - 1),
                     {0, i == 0 ? 0.0f : 10.0f, 0, 0, 0, 0, 10}});
    }
    return s;
}

std::string Htr(const std::vector<Segment>& segments, int frames, const Style& st = {},
                float (*frameValue)(int seg, int frame, int axis) = nullptr) {
    std::ostringstream o;
    const std::string gap = st.comments ? "\n# exported\n\n" : "\n";
    auto line = [&](const std::string& text) { o << text << gap; };
    auto join = [&](std::initializer_list<std::string> v) {
        std::string r;
        for (const auto& s : v) r += (r.empty() ? "" : st.sep) + s;
        return r;
    };
    auto num = [](float v) {
        std::ostringstream n;
        n << v;
        return n.str();
    };
    if (st.comments) o << "# Hierarchical translation and rotation\n\n";
    line("[Header]");
    line(join({"FileType", st.fileType}));
    line(join({"DataType", "HTRS"}));
    line(join({"FileVersion", "1"}));
    line(join({"NumSegments", std::to_string(segments.size())}));
    line(join({"NumFrames", std::to_string(frames)}));
    line(join({"DataFrameRate", "60"}));
    line(join({"EulerRotationOrder", st.eulerOrder}));
    line(join({"CalibrationUnits", "mm"}));
    line(join({"RotationUnits", st.rotationUnits}));
    line(join({"GlobalAxisofGravity", st.gravity}));
    line(join({"BoneLengthAxis", "Y"}));
    line(join({"ScaleFactor", num(st.scale)}));
    line("[SegmentNames&Hierarchy]");
    for (const auto& s : segments) line(join({s.name, s.parent}));
    line("[BasePosition]");
    for (const auto& s : segments) {
        std::string text = s.name;
        for (float v : s.base) text += st.sep + num(v);
        line(text);
    }
    for (size_t k = 0; k < segments.size(); ++k) {
        line("[" + segments[k].name + "]");
        for (int f = 0; f < frames; ++f) {
            std::string text = std::to_string(f + st.firstFrameNumber);
            for (int axis = 0; axis < 6; ++axis) {
                text += st.sep + num(frameValue ? frameValue(int(k), f, axis) : 0.0f);
            }
            line(text + st.sep + "1");
        }
    }
    if (st.endOfFile) line("[EndOfFile]");
    std::string text = o.str();
    if (!st.finalBreak) text.erase(text.find_last_not_of("\n# exported") + 1);
    return text;
}

class HtrRead : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tavrel-htr-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // The ERROBJ code and detail a read raises; code -1 when it reads.
    std::pair<int, std::string> Failure(const std::string& text, int preload = 1) {
        try {
            HTRREAD motion(Write("bad.htr", text).c_str(), preload);
            motion.GetFrame(1);
        } catch (const ERROBJ& e) {
            return {e.code, e.detail};
        }
        return {-1, ""};
    }

    fs::path dir_;
};

float Wave(int seg, int frame, int axis) { return axis < 3 ? 0.5f * frame : 3.0f * seg + frame; }

TEST_F(HtrRead, ExporterStylesAllReadTheSame) {
    const auto segments = Chain(4, "Char:Bip01.");
    HTRREAD plain(Write("plain.htr", Htr(segments, 3, {}, Wave)).c_str(), 1);
    std::vector<Style> styles(5);
    styles[0].sep = "\t";
    styles[1].comments = true;
    styles[2].endOfFile = true;
    styles[2].fileType = "HTR";
    styles[3].firstFrameNumber = 0;
    styles[4].finalBreak = false;
    styles[4].sep = "\t";
    for (size_t k = 0; k < styles.size(); ++k) {
        HTRREAD other(Write("s" + std::to_string(k) + ".htr", Htr(segments, 3, styles[k], Wave)).c_str(), 1);
        ASSERT_EQ(other.GetSegmentCount(), 4) << k;
        for (int f = 1; f <= 3; ++f) {
            plain.GetFrame(f);
            other.GetFrame(f);
            for (int s = 0; s < 4; ++s) {
                for (int e = 0; e < 16; ++e) {
                    ASSERT_EQ(plain.GetSegment(s)->node->local.m[e],
                              other.GetSegment(s)->node->local.m[e]) << "style " << k;
                }
            }
        }
    }
    EXPECT_STREQ(plain.GetSegment(3)->name, "Char:Bip01.3");
    EXPECT_EQ(plain.GetFrameRate(), 60);
    EXPECT_EQ(plain.GetBeginFrame(), 1);
    EXPECT_EQ(plain.GetEndFrame(), 3);
}

TEST_F(HtrRead, NumbersInEveryWrittenForm) {
    auto segments = Chain(2);
    std::string text = Htr(segments, 1);
    // Replace the child's base line with the forms exporters write.
    const std::string from = "seg1 0 10 0 0 0 0 10";
    text.replace(text.find(from), from.size(), "seg1 -0.000000 6.988140626e-07 0 0 -0 0 1.5E+01");
    HTRREAD motion(Write("n.htr", text).c_str(), 1);
    EXPECT_NEAR(motion.GetBaseMatrix(1).m[13], 6.988140626e-07f, 1e-12f);
    EXPECT_FLOAT_EQ(motion.GetBoneLength(1), 15.0f);
}

TEST_F(HtrRead, RootAxesTurnAndScaleAsTheFormatSays) {
    std::vector<Segment> s = {{"root", "GLOBAL", {1, 2, 3, 0, 0, 0, 4}},
                              {"child", "root", {1, 2, 3, 0, 0, 0, 5}}};
    Style st;
    st.scale = 10.0f;
    auto frame = [](int seg, int, int axis) -> float { return seg == 0 && axis < 3 ? axis + 1.0f : 0.0f; };
    HTRREAD motion(Write("walk.htr", Htr(s, 1, st, frame)).c_str(), 1);
    const rkMatrix& rootBase = motion.GetBaseMatrix(0);
    EXPECT_FLOAT_EQ(rootBase.m[12], 1.0f);
    EXPECT_FLOAT_EQ(rootBase.m[13], -3.0f);
    EXPECT_FLOAT_EQ(rootBase.m[14], 2.0f);
    // The base of the root is turned a quarter about X: local Y now points along +Z.
    EXPECT_NEAR(rootBase.m[6], 1.0f, 1e-6f);
    const rkMatrix& childBase = motion.GetBaseMatrix(1);
    EXPECT_FLOAT_EQ(childBase.m[12], 10.0f);
    EXPECT_FLOAT_EQ(childBase.m[13], 20.0f);
    EXPECT_FLOAT_EQ(childBase.m[14], 30.0f);
    EXPECT_FLOAT_EQ(motion.GetBoneLength(0), 40.0f);
    // Root frame (1, 2, 3) scaled by 10 becomes (10, -30, 20), on top of the base.
    const rkNode* root = motion.GetFrame(1);
    EXPECT_FLOAT_EQ(root->local.m[12], 11.0f);
    EXPECT_FLOAT_EQ(root->local.m[13], -33.0f);
    EXPECT_FLOAT_EQ(root->local.m[14], 22.0f);
    std::unique_ptr<ANIMSEGLENGTH[]> lengths;
    ASSERT_EQ(motion.GetSegmentLengths(lengths), 2);
    EXPECT_FLOAT_EQ(lengths[1].length, 50.0f);
}

TEST_F(HtrRead, FrameAnglesApplyBeforeTheBase) {
    std::vector<Segment> s = {{"root", "GLOBAL", {0, 0, 0, 0, 0, 0, 1}},
                              {"arm", "root", {0, 5, 0, 0, 0, 90, 1}}};
    auto frame = [](int seg, int, int axis) -> float { return seg == 1 && axis == 3 ? 90.0f : 0.0f; };
    HTRREAD motion(Write("a.htr", Htr(s, 1, {}, frame)).c_str(), 1);
    motion.GetFrame(1);
    const rkMatrix& m = motion.GetSegment(1)->node->local;
    // Rx(90) x Rz(90): local Y goes to Z first, and Z is left alone by the base's turn.
    EXPECT_NEAR(m.m[4], 0.0f, 1e-6f);
    EXPECT_NEAR(m.m[6], 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(m.m[13], 5.0f);
}

TEST_F(HtrRead, UnsupportedConventionsAreCode5) {
    const auto segments = Chain(2);
    Style radians, order, gravity;
    radians.rotationUnits = "Radians";
    order.eulerOrder = "XYZ";
    gravity.gravity = "Z";
    EXPECT_EQ(Failure(Htr(segments, 1, radians)),
              std::make_pair(5, std::string("RotationUnits should be Degree")));
    EXPECT_EQ(Failure(Htr(segments, 1, order)),
              std::make_pair(5, std::string("EulerRotationOrder should be ZYX")));
    EXPECT_EQ(Failure(Htr(segments, 1, gravity)),
              std::make_pair(5, std::string("GlobalAxisofGravity should be Y")));
    auto twoRoots = Chain(2);
    twoRoots[1].parent = "GLOBAL";
    EXPECT_EQ(Failure(Htr(twoRoots, 1)),
              std::make_pair(5, std::string("More than 1 tree in the file!")));
}

TEST_F(HtrRead, SegmentsAreOrderedByFirstMention) {
    std::vector<Segment> s = {{"hand", "arm", {0, 1, 0, 0, 0, 0, 1}},
                              {"arm", "body", {0, 1, 0, 0, 0, 0, 1}},
                              {"body", "GLOBAL", {0, 0, 0, 0, 0, 0, 1}}};
    HTRREAD motion(Write("o.htr", Htr(s, 1)).c_str(), 1);
    EXPECT_STREQ(motion.GetSegment(0)->name, "hand");
    EXPECT_STREQ(motion.GetSegment(1)->name, "arm");
    EXPECT_STREQ(motion.GetSegment(2)->name, "body");
    EXPECT_EQ(motion.GetRootIndex(), 2);
    EXPECT_EQ(motion.GetRoot(), motion.GetSegment(2)->node);
    EXPECT_EQ(motion.GetSegment(0)->parent, 1);
}

TEST_F(HtrRead, BadNamesAndBrokenStructure) {
    auto segments = Chain(3);
    std::string text = Htr(segments, 2);
    std::string badBase = text;
    badBase.replace(badBase.find("seg2 0 10"), 4, "segX");
    EXPECT_EQ(Failure(badBase), std::make_pair(2, std::string("Bad bone name, segX, at [BasePosition]")));
    std::string badSection = text;
    badSection.replace(badSection.find("[seg1]"), 6, "[segY]");
    EXPECT_EQ(Failure(badSection), std::make_pair(2, std::string("Bad segment name: segY]")));
    auto duplicate = Chain(3);
    duplicate[2].name = "seg1";  // a segment placed twice
    EXPECT_EQ(Failure(Htr(duplicate, 1)).first, 2);
    auto loop = Chain(3);
    loop[0].parent = "seg2";  // no root, and a loop
    EXPECT_EQ(Failure(Htr(loop, 1)).first, 2);
    EXPECT_EQ(Failure(text.substr(0, text.size() - 30)).first, 2);
    // One segment given two base positions (seg2 none): refused by name, not left at zero.
    std::string twice = text;
    twice.replace(twice.find("seg2 0 10"), 4, "seg1");
    EXPECT_EQ(Failure(twice), std::make_pair(2, std::string("Segment named twice, seg1, at "
                                                            "[BasePosition]")));
    auto rootless = Chain(3);
    rootless[0].parent = "seg9";  // a tree hanging from nothing
    EXPECT_EQ(Failure(Htr(rootless, 1)).first, 2);
}

TEST_F(HtrRead, LazyAndStreamedReadsMatchThePreload) {
    const std::string path = Write("walk.htr", Htr(Chain(5), 6, {}, Wave));
    HTRREAD preloaded(path.c_str(), 1), lazy(path.c_str(), 0), streamed(path.c_str(), 0);
    streamed.SetStreamMode(1);
    for (int f : {4, 2, 6}) {
        const rkNode* a = preloaded.GetFrame(f);
        const rkNode* b = lazy.GetFrame(f);
        const rkNode* c = streamed.GetFrame(f);
        for (int e = 0; e < 16; ++e) {
            EXPECT_EQ(a->local.m[e], b->local.m[e]);
            EXPECT_EQ(a->local.m[e], c->local.m[e]);
        }
    }
    EXPECT_EQ(preloaded.GetFrame(99)->local.m[12], preloaded.GetFrame(6)->local.m[12]);
}

TEST_F(HtrRead, WriteGoesBesideTheSourceAsCha) {
    const std::string path = Write("walk.htr", Htr(Chain(3), 4, {}, Wave));
    HTRREAD motion(path.c_str(), 0);
    motion.Write(0);
    const std::string written = (dir_ / "walk.CHA").string();
    ASSERT_TRUE(fs::exists(written));
    CHAREAD back(written.c_str(), 1);
    EXPECT_EQ(back.GetBeginFrame(), 1);
    EXPECT_EQ(back.GetEndFrame(), 4);
    EXPECT_EQ(back.GetFrameRate(), 60);
    EXPECT_NEAR(back.GetSegment(1)->length, 10.0f, 1e-3f);
    for (int f = 1; f <= 4; ++f) {
        const rkNode* a = motion.GetFrame(f);
        const rkNode* b = back.GetFrame(f);
        for (int e = 0; e < 16; ++e) EXPECT_NEAR(a->local.m[e], b->local.m[e], 1e-3f);
    }
}

TEST_F(HtrRead, SixtyAndHundredSegmentFilesLoad) {
    for (int n : {60, 100}) {
        HTRREAD motion(Write("big.htr", Htr(Chain(n), 3, {}, Wave)).c_str(), 1);
        EXPECT_EQ(motion.GetSegmentCount(), n);
    }
}

TEST_F(HtrRead, CutOrMutatedFilesRaiseOnlyErrobj) {
    const std::string text = Htr(Chain(3), 2, {}, Wave);
    // Only the last line break may go: the line before it is complete without it.
    for (size_t cut = 0; cut + 1 < text.size(); ++cut) {
        const auto [code, detail] = Failure(text.substr(0, cut));
        EXPECT_GE(code, 0) << "a file cut at " << cut << " read as whole";
    }
    std::mt19937 random(11);
    for (int round = 0; round < 400; ++round) {
        std::string mutated = text;
        for (int k = 0; k < 3; ++k) mutated[random() % mutated.size()] = char(random() % 256);
        Failure(mutated);  // must not crash or hang; reading is allowed
        Failure(mutated, 0);
    }
    // A header that claims absurd counts allocates nothing of that size.
    std::string huge = text;
    huge.replace(huge.find("NumFrames 2"), 11, "NumFrames 2147483647");
    EXPECT_EQ(Failure(huge).first, 2);
    huge = text;
    huge.replace(huge.find("NumSegments 3"), 13, "NumSegments 2147483647");
    EXPECT_EQ(Failure(huge).first, 2);
}

}  // namespace
