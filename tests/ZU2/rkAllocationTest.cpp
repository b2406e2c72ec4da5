// The update and render passes run every frame: once warm, they must not allocate.
// The kit's own heap calls are wrapped at link time (--wrap=malloc,calloc,realloc,free), and
// operator new is counted when it is called from this program rather than from the GL driver.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "ZU2/rkRenderScene.h"
#include "ZU2/rkTexture.h"
#include "support/GlFixture.h"
#include "support/TestScenes.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<int> g_allocations{0};

extern "C" char __executable_start;
extern "C" char etext;

bool FromThisProgram(const void* caller) {
    return caller >= static_cast<const void*>(&__executable_start) &&
           caller < static_cast<const void*>(&etext);
}

void Count() {
    if (g_counting) ++g_allocations;
}

}  // namespace

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* pointer, size_t size);
void __real_free(void* pointer);

void* __wrap_malloc(size_t size) {
    Count();
    return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size) {
    Count();
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* pointer, size_t size) {
    Count();
    return __real_realloc(pointer, size);
}
void __wrap_free(void* pointer) { __real_free(pointer); }
}

void* operator new(size_t size) {
    if (FromThisProgram(__builtin_return_address(0))) Count();
    void* p = __real_malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
void operator delete(void* p) noexcept { __real_free(p); }
void operator delete(void* p, size_t) noexcept { __real_free(p); }

namespace tavrel::test {
namespace {

using Allocation = GlTest;

void NoOp(uint32_t, rkNode*, void*) {}

TEST_F(Allocation, UpdateAndRenderPassesAllocateNothing) {
    rkNode* root = rkCreateNode("root");
    rkLight* light = rkCreateLight(2);
    light->data.diffuse[0] = light->data.diffuse[1] = light->data.diffuse[2] = 1;
    light->data.position = {0, -200, 100};
    rkAttachObject(root, &light->head);
    rkAttachObject(root, &rkCreateCallback(RK_EVENT_RENDER | RK_EVENT_POST_UPDATE, NoOp, nullptr)->head);
    rkTexture* texture = rkCreateTexture(RK_TEXFMT_RGB16, 4, 4);
    rkNode* moving = nullptr;
    for (int i = 0; i < 4; ++i) {
        rkNode* node = rkCreateNode("part");
        rkLinkNode(i == 0 ? root : moving, node);
        moving = node;
        rkVisual* visual = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_LIT);
        FillSphere(&visual->mesh, 30, 12, 6);
        visual->mesh.flags |= RK_MESH_MATERIAL | (i == 2 ? RK_MESH_STATE : 0u);
        visual->mesh.material = WhiteMaterial(float(i + 1));
        visual->state = rkDefaultState;
        visual->mesh.textures[0] = i % 2 ? texture : nullptr;
        rkAttachObject(node, &visual->head);
        rkTranslateNode(node, 20, 0, 0);
    }
    rkCompileNode(root);
    rkView view = FrontView(300);
    const auto frame = [&] {
        rkTranslateNode(moving, 0, 0, 1);
        rkUpdateNode(root);
        return rkRenderScene(root, &view, SharedHost());
    };
    for (int i = 0; i < 3; ++i) ASSERT_EQ(frame(), 1);  // warm up the driver

    g_allocations = 0;
    g_counting = true;
    int ok = 1;
    for (int i = 0; i < 5; ++i) ok &= frame();
    g_counting = false;
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(g_allocations.load(), 0);
    EXPECT_EQ(device_.stats.meshes, 4);

    // The counter sees the kit's heap calls at all.
    g_counting = true;
    rkNode* probe = rkCreateNode("probe");
    g_counting = false;
    EXPECT_GT(g_allocations.load(), 0);
    rkFreeNode(probe);
    rkFreeTree(root);
}

}  // namespace
}  // namespace tavrel::test
