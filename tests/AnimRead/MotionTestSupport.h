#pragma once
// Shared helpers of the motion-file tests: a scratch folder, whole-file I/O, generated motions
// and checks on raised errors.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "AnimRead/AnimFile.h"
#include "AnimRead/CHBRead/CHBRead.h"

namespace motiontest {

// A fresh folder under the system's temporary path, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "animread-XXXXXX").string();
        char* made = mkdtemp(pattern.data());
        if (made) path_ = made;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A value that varies with frame, segment and element, with negatives and odd decimals.
inline float SampleValue(int frame, int segment, int element) {
    return static_cast<float>(std::sin(frame * 0.37 + segment * 1.3 + element * 0.71) *
                              (element >= 12 ? 250.0 : 1.0));
}

// The standard skeleton with frames begin .. begin + frames - 1, each a different pose.
inline std::unique_ptr<tavrel::ANIMFILE> MakeMotion(int frames, int begin = 0) {
    auto motion = std::make_unique<tavrel::CHBREAD>();
    motion->SetBeginFrame(begin);
    motion->SetEndFrame(begin);
    rkNode* root = motion->GetFrame(begin);
    for (int k = 0; k < frames; ++k) {
        for (int32_t i = 0; i < motion->GetSegmentCount(); ++i) {
            rkMatrix m;
            rkIdentity(&m);
            for (int e : {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14}) m.m[e] = SampleValue(k, i, e);
            rkSetNodeMatrix(motion->GetSegment(i)->node, m);
        }
        motion->SetFrame(root, begin + k);
    }
    return motion;
}

// Runs an action that must raise ERROBJ; returns what it raised.
inline tavrel::ERROBJ CatchError(const std::function<void()>& action) {
    try {
        action();
    } catch (const tavrel::ERROBJ& error) {
        return error;
    }
    ADD_FAILURE() << "no ERROBJ raised";
    return tavrel::ERROBJ(tavrel::ERR_OK, "", 0);
}

#define EXPECT_ERROBJ(action, expectedCode, expectedDetail)                 \
    do {                                                                    \
        ::tavrel::ERROBJ raised_ = motiontest::CatchError([&] { action; }); \
        EXPECT_EQ(raised_.code, (expectedCode)) << raised_.detail;          \
        EXPECT_STREQ(raised_.detail, (expectedDetail)) << raised_.location; \
    } while (0)

// Both motions have the same segments, hierarchy, lengths and frames; frame elements and
// lengths may differ by tolerance (0 asks for identical bits).
inline void ExpectSameMotion(const tavrel::ANIMFILE& expected, const tavrel::ANIMFILE& actual,
                             float tolerance) {
    ASSERT_EQ(expected.GetSegmentCount(), actual.GetSegmentCount());
    EXPECT_EQ(expected.GetBeginFrame(), actual.GetBeginFrame());
    EXPECT_EQ(expected.GetEndFrame(), actual.GetEndFrame());
    EXPECT_EQ(expected.GetFrameRate(), actual.GetFrameRate());
    for (int32_t i = 0; i < expected.GetSegmentCount(); ++i) {
        const tavrel::ANIMSEG& a = *expected.GetSegment(i);
        const tavrel::ANIMSEG& b = *actual.GetSegment(i);
        SCOPED_TRACE(a.name);
        EXPECT_STREQ(a.name, b.name);
        EXPECT_EQ(a.parent, b.parent);
        EXPECT_EQ(a.children, b.children);
        ASSERT_EQ(a.frames.size(), b.frames.size());
        if (tolerance == 0) {
            EXPECT_EQ(0, std::memcmp(&a.length, &b.length, sizeof a.length));
            EXPECT_EQ(0, std::memcmp(a.frames.data(), b.frames.data(),
                                     a.frames.size() * sizeof(rkMatrix)));
            continue;
        }
        EXPECT_NEAR(a.length, b.length, tolerance);
        for (size_t f = 0; f < a.frames.size(); ++f) {
            for (int e = 0; e < 16; ++e) {
                ASSERT_NEAR(a.frames[f].m[e], b.frames[f].m[e], tolerance)
                    << "frame index " << f << " element " << e;
            }
        }
    }
    EXPECT_STREQ(expected.GetRoot() ? expected.GetRoot()->name : "",
                 actual.GetRoot() ? actual.GetRoot()->name : "");
}

}  // namespace motiontest
