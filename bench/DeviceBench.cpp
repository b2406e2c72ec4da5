// Frame times of the render device at 800 x 600 on the machine's GL (llvmpipe here): 20 meshes
// of 1000 lit triangles, without and with a texture, and how many texture changes a frame
// sends with the stage cache in place.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "ZU2/rkDevice.h"
#include "ZU2/rkEglHost.h"
#include "ZU2/rkRenderScene.h"
#include "ZU2/rkTexture.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kMeshes = 20;

// A ball of 25 x 20 quads: 1000 triangles with normals and texture coordinates.
void FillBall(rkMesh* mesh, float radius) {
    constexpr int kSlices = 25, kStacks = 20;
    const float pi = std::numbers::pi_v<float>;
    mesh->flags |= RK_MESH_INDEXED | RK_MESH_MATERIAL;
    mesh->material = {{1, 1, 1, 1}, {0.8f, 0.7f, 0.6f, 1}, {1, 1, 1, 1}, 16};
    for (int i = 0; i <= kStacks; ++i) {
        for (int j = 0; j <= kSlices; ++j) {
            const float theta = pi * float(i) / kStacks, phi = 2 * pi * float(j) / kSlices;
            rkVertex v = {};
            v.normal = {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi),
                        std::cos(theta)};
            v.position = {v.normal.x * radius, v.normal.y * radius, v.normal.z * radius};
            v.colour = 0xFFFFFFFF;
            v.u0 = float(j) / kSlices * 4, v.v0 = float(i) / kStacks * 4;
            rkAddVertex(mesh, v);
        }
    }
    for (int i = 0; i < kStacks; ++i) {
        for (int j = 0; j < kSlices; ++j) {
            const auto at = [](int a, int b) { return uint16_t(a * (kSlices + 1) + b); };
            for (uint16_t index : {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j),
                                   at(i + 1, j + 1), at(i, j + 1)}) {
                rkAddIndex(mesh, index);
            }
        }
    }
}

rkTexture* MakeTexture(uint8_t tint) {
    std::vector<uint8_t> pixels;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const uint8_t c = ((x / 32 + y / 32) % 2) ? 255 : tint;
            pixels.insert(pixels.end(), {c, uint8_t(255 - c / 2), tint});
        }
    }
    rkTexture* texture = rkCreateTexture(RK_TEXFMT_RGB16, 256, 256);
    rkLoadTexture(texture, RK_IMAGE_RGB24, pixels.data());
    return texture;
}

// A host, a device, a lit world of 20 balls in a 5 x 4 grid, and the camera on it.
class Scene {
public:
    Scene() {
        ok_ = host_.Create(kWidth, kHeight) && rkCreateDevice(&device_, &host_, kWidth, kHeight);
        if (!ok_) return;
        root_ = rkCreateNode("world");
        for (int type : {1, 2}) {
            rkLight* light = rkCreateLight(type);
            light->data.diffuse[0] = light->data.diffuse[1] = light->data.diffuse[2] = 0.8f;
            light->data.direction = {0.5f, 1, -0.5f};
            light->data.position = {-300, -500, 300};
            rkAttachObject(root_, &light->head);
        }
        for (int i = 0; i < kMeshes; ++i) {
            rkNode* node = rkCreateNode("ball");
            rkTranslateNode(node, float(i % 5) * 140 - 280, 0, float(i / 5) * 140 - 210);
            rkLinkNode(root_, node);
            rkVisual* ball = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_LIT);
            FillBall(&ball->mesh, 60);
            rkAttachObject(node, &ball->head);
            balls_.push_back(ball);
        }
        rkCompileNode(root_);
        for (uint8_t tint : {0, 60, 120, 180}) textures_.push_back(MakeTexture(tint));
        view_ = {{0, -900, 0}, {0, 1, 0}, {0, 0, 1}, 10, 10000, 0.7853975f, 0.75f,
                 {0, 0, kWidth, kHeight}};
    }
    ~Scene() {
        if (!ok_) return;
        rkFreeTree(root_);
        rkFreeAllTextures();
        rkDestroyDevice(&device_);
    }
    bool ok() const { return ok_; }
    // Texture of ball i, or none.
    void SetTextures(rkTexture* (*pick)(const std::vector<rkTexture*>&, int)) {
        for (int i = 0; i < kMeshes; ++i) balls_[i]->mesh.textures[0] = pick(textures_, i);
    }
    int Frame() {
        rkUpdateNode(root_);
        return rkRenderScene(root_, &view_, &host_);
    }
    const rkFrameStats& Stats() const { return device_.stats; }

private:
    bool ok_ = false;
    rkEglHost host_;
    rkDevice device_{};
    rkNode* root_ = nullptr;
    std::vector<rkVisual*> balls_;
    std::vector<rkTexture*> textures_;
    rkView view_{};
};

void RunFrames(benchmark::State& state, Scene& scene) {
    for (auto _ : state) {
        if (!scene.Frame()) state.SkipWithError("frame failed");
    }
    state.counters["triangles"] = scene.Stats().primitives;
    state.counters["texture changes"] = scene.Stats().textureChanges;
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Frame800x600_Lit(benchmark::State& state) {
    Scene scene;
    if (!scene.ok()) return state.SkipWithError("no GL device");
    scene.SetTextures([](const std::vector<rkTexture*>&, int) -> rkTexture* { return nullptr; });
    RunFrames(state, scene);
}
BENCHMARK(BM_Frame800x600_Lit)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Frame800x600_LitTextured(benchmark::State& state) {
    Scene scene;
    if (!scene.ok()) return state.SkipWithError("no GL device");
    scene.SetTextures([](const std::vector<rkTexture*>& t, int) { return t[0]; });
    RunFrames(state, scene);
}
BENCHMARK(BM_Frame800x600_LitTextured)->Unit(benchmark::kMillisecond)->UseRealTime();

// Four textures over the twenty balls, in runs of five (grouped) or taking turns.
void BM_TextureChanges_Grouped(benchmark::State& state) {
    Scene scene;
    if (!scene.ok()) return state.SkipWithError("no GL device");
    scene.SetTextures([](const std::vector<rkTexture*>& t, int i) { return t[size_t(i / 5)]; });
    RunFrames(state, scene);
}
BENCHMARK(BM_TextureChanges_Grouped)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TextureChanges_Alternating(benchmark::State& state) {
    Scene scene;
    if (!scene.ok()) return state.SkipWithError("no GL device");
    scene.SetTextures([](const std::vector<rkTexture*>& t, int i) { return t[size_t(i % 4)]; });
    RunFrames(state, scene);
}
BENCHMARK(BM_TextureChanges_Alternating)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
