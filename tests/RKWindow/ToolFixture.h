#pragma once
// A 3D system with the avatar at 800 x 600 and the tools of its window, for the tool tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "RKWindow/RKSystem.h"
#include "RKWindow/RKWindowTools.h"
#include "support/GlFixture.h"

namespace tavrel::test {

inline void ExpectNear(const rkVector& a, const rkVector& b, float eps = 1e-2f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

class ToolsTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;

    void SetUp() override {
        host_ = SharedHost();
        ASSERT_NE(host_, nullptr) << "no EGL surfaceless context";
        ASSERT_TRUE(system_.Initialise(host_, kWidth, kHeight));
        system_.SetBackgroundColor(92, 100, 116, true);
        ASSERT_EQ(system_.SetUpWorld(TAVREL_SHARE_DIR), 0);
        tools_ = std::make_unique<CRKWindowTools>(system_);
    }

    // A left drag (press, moves, release) with the current tool.
    void Drag(int x0, int y0, int x1, int y1, int modifiers = 0, int steps = 1) {
        tools_->MousePress(x0, y0, RKInputEvent::LeftButton, RKInputEvent::LeftButton, modifiers);
        for (int i = 1; i <= steps; ++i) {
            tools_->MouseMove(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps,
                              RKInputEvent::LeftButton, modifiers);
        }
        tools_->MouseRelease(x1, y1, RKInputEvent::LeftButton, 0, modifiers);
    }

    // Window position of a world point.
    std::array<float, 2> OnScreen(const rkVector& p) {
        float out[1][4] = {};
        system_.Camera().Project(&p, 1, out);
        return {out[0][0], out[0][1]};
    }

    // The middle of a segment's shape, in the world.
    rkVector ShapeCentre(const char* segment) {
        rkUpdateNode(system_.World()->Node());
        const rkVisual* shape = system_.Body()->Shapes().at(segment);
        const rkNode* node = rkFindNode(system_.Avatar()->Node(), segment);
        rkVector lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
        for (int v = 0; v < shape->mesh.vertexCount; ++v) {
            const rkVector p = rkTransformPoint(shape->mesh.vertices[v].position, node->world);
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
        return {(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2};
    }

    rkEglHost* host_ = nullptr;
    CRKSystem system_;
    std::unique_ptr<CRKWindowTools> tools_;  // goes before the system it works on
};

}  // namespace tavrel::test
