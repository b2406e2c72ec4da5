#include "RKWindow/RKPicker.h"

#include <vector>

#include "RKWindow/RKSystem.h"
#include "ZU2/rkDevice.h"

namespace tavrel {

namespace {

constexpr int kStageSelectTexture = 2;
constexpr int kStageModulate = 4;

bool HasVisual(const rkNode* node) {
    for (int slot = 0; slot < node->capacity; ++slot) {
        const rkObject* object = node->objects[slot];
        if (object && object->cls == RK_VISUAL) return true;
    }
    return false;
}

void Collect(int, rkNode* node, void* list) {
    if (HasVisual(node)) static_cast<std::vector<rkNode*>*>(list)->push_back(node);
}

// What a visual looked like before the pick, to be put back exactly.
struct SavedVisual {
    rkVisual* visual;
    int32_t format;
    std::vector<uint32_t> colours;
};

void Paint(rkNode* node, uint32_t colour, std::vector<SavedVisual>* saved) {
    for (int slot = 0; slot < node->capacity; ++slot) {
        rkObject* object = node->objects[slot];
        if (!object || object->cls != RK_VISUAL) continue;
        auto* visual = reinterpret_cast<rkVisual*>(object);
        rkMesh& mesh = visual->mesh;
        SavedVisual keep{visual, mesh.format, {}};
        keep.colours.reserve(mesh.vertexCount);
        for (int v = 0; v < mesh.vertexCount; ++v) {
            keep.colours.push_back(mesh.vertices[v].colour);
            mesh.vertices[v].colour = colour;
        }
        mesh.format = RK_VERTEX_UNLIT;
        saved->push_back(std::move(keep));
    }
}

void Restore(std::vector<SavedVisual>& saved) {
    for (SavedVisual& keep : saved) {
        rkMesh& mesh = keep.visual->mesh;
        for (int v = 0; v < mesh.vertexCount && v < int(keep.colours.size()); ++v) {
            mesh.vertices[v].colour = keep.colours[v];
        }
        mesh.format = keep.format;
    }
}

void SetPickStates(bool picking) {
    rkSetState(RK_STATE_LIGHTING, picking ? 0 : 1);
    rkSetState(RK_STATE_TEXTURING, picking ? 0 : 1);
    rkSetState(RK_RS_ALPHABLENDENABLE, 0);
    rkSetTextureStageState(0, RK_STAGE_BLEND, picking ? kStageSelectTexture : kStageModulate);
}

}  // namespace

std::vector<rkNode*> CRKPicker::Objects(rkNode* world) {
    std::vector<rkNode*> objects;
    if (world) rkTraverse(world, RK_PRE_ORDER, Collect, &objects);
    return objects;
}

int CRKPicker::IndexOf(uint32_t colour) {
    const uint32_t red = (colour >> 16) & 0xFF, green = (colour >> 8) & 0xFF, blue = colour & 0xFF;
    if (red != 0 || blue != 0) return -1;
    return static_cast<int>(green / 8);
}

rkNode* CRKPicker::Pick(CRKSystem& system, int x, int y) {
    const int width = system.Camera().view.viewport[2], height = system.Camera().view.viewport[3];
    if (!system.World() || x < 0 || y < 0 || x >= width || y >= height) return nullptr;
    CRKNode* ground = system.World()->Child("Ground");
    CRKNode* ring = system.World()->Child("CircleLine");
    const bool groundShown = ground && ground->IsShown();
    if (ground) ground->Show(true);
    if (ring) ring->Show(false);
    // Ghosts and paths are views of other frames: a click on them picks nothing of the avatar.
    std::vector<CRKNode*> views;
    for (const char* name : {kGhostsNode, kMotionPathsNode}) {
        CRKNode* view = system.World()->Child(name);
        if (view && view->IsShown()) views.push_back(view);
    }
    for (CRKNode* view : views) view->Show(false);

    // A pending device rebuild happens in a frame of its own, so the pick's states hold.
    if (system.Camera().changed) system.DrawScene(nullptr);
    const std::vector<rkNode*> objects = Objects(system.World()->Node());
    std::vector<SavedVisual> saved;
    for (size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->flags & RK_NODE_HIDDEN) continue;  // skipped, but it keeps its index
        if (i < size_t(kMaxObjects)) Paint(objects[i], Colour(int(i)), &saved);
    }
    // Objects past the last colour cannot be told apart: they stay out of the pick frame.
    std::vector<rkNode*> left;
    for (size_t i = kMaxObjects; i < objects.size(); ++i) {
        if (objects[i]->flags & RK_NODE_HIDDEN) continue;
        objects[i]->flags |= RK_NODE_HIDDEN;
        left.push_back(objects[i]);
    }
    // A background with red in it never reads as an object, whatever the window's colour. The
    // device's colour alone changes: the picture behind, padded with it, is left out anyway.
    const uint8_t* background = system.BackgroundColor();
    rkSetCurrentDevice(&system.Device());
    rkSetBackgroundColor(1, 1, 1);
    SetPickStates(true);
    // A picture or video frame behind the scene would read as objects where its colours match.
    const int picturesShown = rkShowPictures(0);
    // Only the pixel under the mouse is ever read, so only it is drawn.
    rkSetScissor(x, y, 1, 1);
    uint32_t pixel = 0xFFFFFFFFu;
    const bool drawn = system.DrawScene(nullptr, false) == 1 && rkReadPixel(x, y, &pixel) == 1;
    rkSetScissor(0, 0, 0, 0);
    rkShowPictures(picturesShown);
    SetPickStates(false);
    rkSetBackgroundColor(background[0] / 255.0f, background[1] / 255.0f, background[2] / 255.0f);
    Restore(saved);
    for (rkNode* node : left) node->flags &= ~RK_NODE_HIDDEN;

    if (ground) ground->Show(groundShown);
    if (ring) ring->Show(true);
    for (CRKNode* view : views) view->Show(true);
    const int index = drawn ? IndexOf(pixel) : -1;
    return index >= 0 && index < int(objects.size()) ? objects[index] : nullptr;
}

}  // namespace tavrel
