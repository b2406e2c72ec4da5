// BVH reading and writing: channel orders, the Y-up turn at the root, the layouts producers write,
// round trips through our writer, and every malformed file refused with a line number.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "AnimRead/BVHRead/BVHRead.h"
#include "MotionTestSupport.h"

using namespace tavrel;

namespace {

using motiontest::CatchError;

constexpr float kDegree = 0.017453292f;

// A two-joint figure: Hips (6 channels) with one child of the given channels and values.
std::string TwoJoints(const std::string& childChannels, const std::string& frames, int count = 1) {
    return "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0 0 0\n"
           "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
           "\tJOINT Chest\n\t{\n\t\tOFFSET 0 10 0\n\t\tCHANNELS " +
           childChannels +
           "\n\t\tEnd Site\n\t\t{\n\t\t\tOFFSET 0 5 0\n\t\t}\n\t}\n}\nMOTION\nFrames: " +
           std::to_string(count) + "\nFrame Time: 0.0333333\n" + frames;
}

class BvhReadTest : public ::testing::Test {
protected:
    std::unique_ptr<BVHREAD> Read(const std::string& text, int preload = 1) {
        motiontest::WriteAll(Path(), text);
        return std::make_unique<BVHREAD>(Path().c_str(), preload);
    }
    ERROBJ Refused(const std::string& text) {
        return CatchError([&] { Read(text)->GetFrame(0); });
    }
    std::string Path() const { return dir_.File("m.bvh"); }

    motiontest::TempDir dir_;
};

// A direction turned by the matrix's rotation (row vector times the upper 3x3).
rkVector Apply(rkVector v, const rkMatrix& m) {
    const float* e = m.m;
    return {v.x * e[0] + v.y * e[4] + v.z * e[8], v.x * e[1] + v.y * e[5] + v.z * e[9],
            v.x * e[2] + v.y * e[6] + v.z * e[10]};
}

void ExpectNear(rkVector a, rkVector b, float tolerance = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// The first listed rotation is the outermost: "Zrotation Xrotation" turns about x first.
TEST_F(BvhReadTest, ChannelOrderDecidesWhichTurnComesFirst) {
    auto zx = Read(TwoJoints("2 Zrotation Xrotation", "0 0 0 0 0 0 90 90\n"));
    const rkMatrix& m = zx->GetSegment(1)->frames[0];
    ExpectNear(Apply({0, 1, 0}, m), {0, 0, 1});  // Rx takes y to z; Rz keeps z
    ExpectNear(Apply({0, 0, 1}, m), {1, 0, 0});  // Rx takes z to -y; Rz takes -y to x

    auto xz = Read(TwoJoints("2 Xrotation Zrotation", "0 0 0 0 0 0 90 90\n"));
    const rkMatrix& n = xz->GetSegment(1)->frames[0];
    ExpectNear(Apply({0, 0, 1}, n), {0, -1, 0});  // Rz keeps z; Rx takes z to -y
    ExpectNear(Apply({1, 0, 0}, n), {0, 0, 1});   // Rz takes x to y; Rx takes y to z
}

TEST_F(BvhReadTest, RootIsTurnedFromYUpToZUpAndPositionsReplaceTheOffset) {
    auto motion = Read(TwoJoints("3 Zrotation Xrotation Yrotation", "1 2 3 0 0 0 0 0 0\n"));
    motion->GetFrame(0);
    rkUpdateNode(motion->GetRoot());
    const rkMatrix& root = motion->GetSegment(0)->node->world;
    ExpectNear({root.m[12], root.m[13], root.m[14]}, {1, -3, 2});
    // The chest sits 10 up in the file's Y: 10 up in our Z.
    const rkMatrix& chest = motion->GetSegment(1)->node->world;
    ExpectNear({chest.m[12], chest.m[13], chest.m[14]}, {1, -3, 12});
    EXPECT_NEAR(motion->GetSegment(0)->length, 10.0f, 1e-5f);
    EXPECT_NEAR(motion->GetSegment(1)->length, 5.0f, 1e-5f);
}

TEST_F(BvhReadTest, ReadsTheLayoutsProducersWrite) {
    // CRLF, tabs and runs of blanks, names with ':' and '.', lower-case keywords, numbers with
    // exponents and '+', a 120 fps frame time and no final line break.
    const std::string text =
        "HIERARCHY\r\nROOT mixamorig:Hips\r\n{\r\n  OFFSET  0.0 0.0 0.0\r\n"
        "  CHANNELS 6 Xposition Yposition Zposition Yrotation Xrotation Zrotation\r\n"
        "  JOINT rig.Spine_01\r\n  {\r\n    offset 0 1.5e1 0\r\n"
        "    CHANNELS 6 Xposition Yposition Zposition Xrotation Yrotation Zrotation\r\n"
        "    End site\r\n    {\r\n      OFFSET 0 +2 0\r\n    }\r\n  }\r\n}\r\n"
        "MOTION\r\nFrames:\t2\r\nFrame Time: 8.333333e-03\r\n"
        "0 1 2 3 4 5 0 15 0 0 0 0\r\n0 1 2 3 4 5 1E-1 15 0 0 0 -2.5e+1";
    auto motion = Read(text);
    EXPECT_EQ(motion->GetFrameRate(), 120);
    EXPECT_EQ(motion->GetEndFrame(), 1);
    EXPECT_STREQ(motion->GetSegment(0)->name, "mixamorig:Hips");
    EXPECT_STREQ(motion->GetSegment(1)->name, "rig.Spine_01");
    EXPECT_FLOAT_EQ(motion->GetSegment(1)->frames[1].m[12], 0.1f);
    EXPECT_NEAR(motion->GetSegment(1)->frames[1].m[0], std::cos(-25 * kDegree), 1e-5f);
}

TEST_F(BvhReadTest, LazyReadGivesTheSameFramesAsAnEagerOne) {
    const std::string text =
        TwoJoints("3 Yrotation Zrotation Xrotation",
                  "0 0 0 10 20 30 1 2 3\n5 6 7 40 50 60 4 5 6\n3 3 3 3 3 3 3 3 3\n", 3);
    auto eager = Read(text, 1);
    auto lazy = Read(text, 0);
    EXPECT_TRUE(lazy->GetSegment(1)->frames.empty());
    lazy->GetFrame(2);
    for (int32_t i = 0; i < 2; ++i) {
        ASSERT_EQ(lazy->GetSegment(i)->frames.size(), 3u);
        for (int f = 0; f < 3; ++f) {
            for (int e = 0; e < 16; ++e) {
                EXPECT_EQ(lazy->GetSegment(i)->frames[f].m[e],
                          eager->GetSegment(i)->frames[f].m[e]);
            }
        }
    }
}

// Numbers of every spelling, over many windows of the reader and up to the file's very end, read
// as a correctly rounded double made float (plain decimals of up to 15 digits, which are nearly
// every number) or as the nearest float (all others).
TEST_F(BvhReadTest, EveryNumberSpellingReadsToItsValue) {
    std::mt19937 random(5);
    auto digits = [&](int n) {
        std::string text;
        for (int i = 0; i < n; ++i) text += static_cast<char>('0' + random() % 10);
        return text;
    };
    const char* signs[] = {"", "-", "+"};
    const char* gaps[] = {" ", "\t", "  \t "};
    constexpr int kFrames = 3000;
    std::string frames;
    std::vector<float> expected;
    for (int f = 0; f < kFrames; ++f) {
        for (int k = 0; k < 3; ++k) {
            const int whole = static_cast<int>(random() % 10), fraction = random() % 11 - 1;
            std::string word = std::string(signs[random() % 3]) + digits(whole) +
                               (fraction >= 0 ? "." + digits(fraction) : "");
            if (whole + std::max(fraction, 0) == 0) word += "0";
            const bool exponent = random() % 8 == 0;
            if (exponent) word += "e" + std::to_string(static_cast<int>(random() % 9) - 4);
            const std::string unsigned_ = word[0] == '+' ? word.substr(1) : word;
            float value = 0.0f;
            if (!exponent && whole + std::max(fraction, 0) <= 15) {
                value = static_cast<float>(std::strtod(unsigned_.c_str(), nullptr));
            } else {
                std::from_chars(unsigned_.data(), unsigned_.data() + unsigned_.size(), value);
            }
            expected.push_back(value);
            frames += word + (k < 2 ? gaps[random() % 3] : "");
        }
        if (f + 1 < kFrames) frames += random() % 2 ? "\r\n" : "\n";
    }
    const std::string text =
        "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\nCHANNELS 0\nJOINT Chest\n{\nOFFSET 0 1 0\n"
        "CHANNELS 3 Xposition Yposition Zposition\n}\n}\nMOTION\nFrames: " +
        std::to_string(kFrames) + "\nFrame Time: 0.04\n" + frames;
    auto motion = Read(text);
    const auto& read = motion->GetSegment(1)->frames;
    ASSERT_EQ(read.size(), static_cast<size_t>(kFrames));
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(std::bit_cast<uint32_t>(read[i / 3].m[12 + i % 3]),
                  std::bit_cast<uint32_t>(expected[i]))
            << "value " << i << " of frame " << i / 3;
    }
}

// Writes a motion with every rotation order and random angles, reads it back and compares.
TEST_F(BvhReadTest, WrittenFilesReadBackToTheSamePoses) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> angle(-179.0f, 179.0f), place(-50.0f, 50.0f);
    const char* orders[] = {"Xrotation Yrotation Zrotation", "Xrotation Zrotation Yrotation",
                            "Yrotation Xrotation Zrotation", "Yrotation Zrotation Xrotation",
                            "Zrotation Xrotation Yrotation", "Zrotation Yrotation Xrotation"};
    for (const char* order : orders) {
        std::string frames;
        for (int f = 0; f < 4; ++f) {
            for (int k = 0; k < 3; ++k) frames += std::to_string(place(random)) + " ";
            for (int k = 0; k < 6; ++k) frames += std::to_string(angle(random)) + " ";
            frames += "\n";
        }
        auto original = Read(TwoJoints(std::string("3 ") + order, frames, 4));
        ASSERT_TRUE(original->WriteAs(dir_.File("out.bvh").c_str(), ANIMFILE::kFormatBvh));
        BVHREAD back(dir_.File("out.bvh").c_str(), 1);
        ASSERT_EQ(back.GetSegmentCount(), 2);
        EXPECT_EQ(back.GetFrameRate(), 30);
        ASSERT_TRUE(back.GetJoint(1).endSite.has_value());
        ExpectNear(*back.GetJoint(1).endSite, {0, 5, 0});
        for (int32_t i = 0; i < 2; ++i) {
            for (int f = 0; f < 4; ++f) {
                const rkMatrix& a = original->GetSegment(i)->frames[f];
                const rkMatrix& b = back.GetSegment(i)->frames[f];
                for (int e = 0; e < 16; ++e)
                    EXPECT_NEAR(a.m[e], b.m[e], 1e-3f) << order << " element " << e;
            }
        }
    }
}

TEST_F(BvhReadTest, TheStandardSkeletonWritesAsBvhAndReadsBack) {
    auto motion = motiontest::MakeMotion(3);
    // Sample poses are not rotations; make each frame a proper turn so angles can hold it.
    for (int32_t i = 0; i < motion->GetSegmentCount(); ++i) {
        for (int f = 0; f < 3; ++f) {
            rkMatrix& m = motion->GetSegment(i)->frames[f];
            const rkVector t{m.m[12], m.m[13], m.m[14]};
            rkRotationMatrix(&m, (i + f) % 3, 0.3f * (i + 1));
            m.m[12] = t.x, m.m[13] = t.y, m.m[14] = t.z;
        }
    }
    ASSERT_TRUE(motion->WriteAs(dir_.File("std.bvh").c_str(), ANIMFILE::kFormatBvh));
    BVHREAD back(dir_.File("std.bvh").c_str(), 1);
    ASSERT_EQ(back.GetSegmentCount(), motion->GetSegmentCount());
    for (int32_t i = 0; i < back.GetSegmentCount(); ++i) {
        const int32_t j = motion->FindSegment(back.GetSegment(i)->name);
        ASSERT_GE(j, 0);
        for (int f = 0; f < 3; ++f) {
            for (int e = 0; e < 16; ++e) {
                EXPECT_NEAR(back.GetSegment(i)->frames[f].m[e],
                            motion->GetSegment(j)->frames[f].m[e], 2e-3f)
                    << back.GetSegment(i)->name << " frame " << f << " element " << e;
            }
        }
    }
}

struct Malformed {
    const char* name;
    std::string text;
    int code;
    const char* detail;  // a part of the error's detail
};

TEST_F(BvhReadTest, MalformedFilesAreRefusedWithWhereAndWhat) {
    const std::string ok = "0 0 0 0 0 0 1 2 3\n";
    const Malformed cases[] = {
        {"missing value",
         TwoJoints("3 Zrotation Xrotation Yrotation", "0 0 0 0 0 0 1 2\n1 2 3 4 5 6 7 8 9\n", 2), 2,
         "line 20: frame 0 holds fewer than 9 values"},
        {"extra value",
         TwoJoints("3 Zrotation Xrotation Yrotation", "0 0 0 0 0 0 1 2 3 4\n" + ok, 2), 2,
         "frame 0 holds more than 9 values"},
        {"fewer lines than Frames", TwoJoints("3 Zrotation Xrotation Yrotation", ok + ok, 3), 2,
         "the file ends"},
        {"more lines than Frames", TwoJoints("3 Zrotation Xrotation Yrotation", ok + ok + ok, 2), 2,
         "more values than Frames: 2"},
        {"nan", TwoJoints("3 Zrotation Xrotation Yrotation", "0 0 0 0 0 nan 1 2 3\n"), 2,
         "not a finite number"},
        {"inf", TwoJoints("3 Zrotation Xrotation Yrotation", "0 0 0 0 0 0 1 inf 3\n"), 2,
         "not a finite number"},
        {"word for number", TwoJoints("3 Zrotation Xrotation Yrotation", "0 0 0 0 0 0 1 x 3\n"), 2,
         "\"x\""},
        {"unknown channel", TwoJoints("3 Zrotation Xrotation Wrotation", ok), 2, "unknown channel"},
        {"channel twice", TwoJoints("3 Zrotation Xrotation Zrotation", ok), 2, "given twice"},
        {"seven channels", TwoJoints("7 Zrotation Xrotation Yrotation", ok), 2, "0 to 6 channels"},
        {"no joints", "HIERARCHY\nMOTION\nFrames: 1\nFrame Time: 0.03\n\n", 2, "expected ROOT"},
        {"no frames", TwoJoints("3 Zrotation Xrotation Yrotation", "", 0), 2, "Frames: 0"},
        {"zero frame time",
         "HIERARCHY\nROOT a\n{\nOFFSET 0 0 0\nCHANNELS 1 Xrotation\n}\nMOTION\nFrames: 1\nFrame "
         "Time: 0\n1\n",
         2, "Frame Time: 0"},
        {"unclosed", "HIERARCHY\nROOT a\n{\nOFFSET 0 0 0\n", 2, "the file ends"},
        {"no offset", "HIERARCHY\nROOT a\n{\n}\nMOTION\nFrames: 1\nFrame Time: 0.03\n\n", 2,
         "has no OFFSET"},
        {"duplicate name",
         "HIERARCHY\nROOT a\n{\nOFFSET 0 0 0\nJOINT a\n{\nOFFSET 0 0 0\n}\n}\nMOTION\nFrames: "
         "1\nFrame Time: 1\n\n",
         2, "joint a is named twice"},
        {"two roots",
         "HIERARCHY\nROOT a\n{\nOFFSET 0 0 0\n}\nROOT b\n{\nOFFSET 0 0 0\n}\nMOTION\nFrames: "
         "1\nFrame Time: 1\n\n",
         5, "More than 1 tree"},
        {"long name", "HIERARCHY\nROOT " + std::string(40, 'n') + "\n{\n", 2, "longer than 31"},
        {"huge frame count", TwoJoints("3 Zrotation Xrotation Yrotation", ok, 2000000000), 2,
         "too short"},
    };
    for (const Malformed& c : cases) {
        const ERROBJ error = Refused(c.text);
        EXPECT_EQ(error.code, c.code) << c.name;
        EXPECT_NE(std::string(error.detail).find(c.detail), std::string::npos)
            << c.name << ": " << error.detail;
    }
}

TEST_F(BvhReadTest, DeepAndWideSkeletonsHaveLimitsNotCrashes) {
    // A chain of 1000 joints nests 1000 deep and reads (the parser keeps its own stack).
    auto chain = [](int joints) {
        std::string text = "HIERARCHY\nROOT j0\n{\nOFFSET 0 0 0\nCHANNELS 1 Xrotation\n";
        for (int i = 1; i < joints; ++i)
            text += "JOINT j" + std::to_string(i) + "\n{\nOFFSET 0 1 0\nCHANNELS 1 Xrotation\n";
        for (int i = 0; i < joints; ++i) text += "}\n";
        text += "MOTION\nFrames: 1\nFrame Time: 0.01\n";
        for (int i = 0; i < joints; ++i) text += "1 ";
        return text + "\n";
    };
    auto deep = Read(chain(1000));
    EXPECT_EQ(deep->GetSegmentCount(), 1000);
    EXPECT_EQ(deep->GetSegment(999)->parent, 998);
    EXPECT_EQ(Refused(chain(10000)).code, ERR_NOT_SUPPORTED);
}

// Every cut of a good file fails with ERROBJ or reads whole; random damage never crashes.
TEST_F(BvhReadTest, CutAndDamagedFilesFailCleanly) {
    const std::string intact = TwoJoints("3 Zrotation Xrotation Yrotation",
                                         "0 0 0 1 2 3 4 5 6\n7 8 9 10 11 12 13 14 15\n", 2);
    for (size_t cut = 0; cut < intact.size(); ++cut) {
        try {
            auto motion = Read(intact.substr(0, cut));
            motion->GetFrame(1);
            ASSERT_EQ(motion->GetSegment(0)->frames.size(), 2u) << cut;
        } catch (const ERROBJ&) {
        }
    }
    std::mt19937 random(3);
    for (int round = 0; round < 600; ++round) {
        std::string bytes = intact;
        for (int k = 0; k < 3; ++k)
            bytes[random() % bytes.size()] = static_cast<char>(random() % 256);
        try {
            auto motion = Read(bytes, round % 2);
            motion->GetFrame(motion->GetEndFrame());
            for (int32_t i = 0; i < motion->GetSegmentCount(); ++i) {
                ASSERT_EQ(int64_t(motion->GetSegment(i)->frames.size()),
                          int64_t{motion->GetEndFrame()} + 1);
            }
        } catch (const ERROBJ& error) {
            EXPECT_TRUE(error.code == ERR_CORRUPTED || error.code == ERR_NOT_SUPPORTED)
                << error.code;
        }
    }
}

}  // namespace
