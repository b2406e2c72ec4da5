#include "RKWindow/RKViewport.h"

#include <cmath>
#include <limits>

namespace tavrel {

namespace {

constexpr const char* kSource = "RKWindow\\RKViewport";

struct PresetPlacement {
    rkVector offset;  // from the avatar's root, times the scene scale
    rkVector direction;
    rkVector up;
};

// The world's up axis is +z.
constexpr PresetPlacement kPresets[RKViewport::PresetCount] = {
    {{0, -2500, -31}, {0, 1, 0}, {0, 0, 1}},  // front (millimetres)
    {{0, 2500, -31}, {0, -1, 0}, {0, 0, 1}},  // back
    {{-2500, 0, -31}, {1, 0, 0}, {0, 0, 1}},  // left
    {{2500, 0, -31}, {-1, 0, 0}, {0, 0, 1}},  // right
    {{0, 0, 2180}, {0, 0, -1}, {0, 1, 0}},    // up
    {{0, 0, -1870}, {0, 0, 1}, {0, -1, 0}},   // down
};

}  // namespace

RKViewport::RKViewport() : view{} {
    view.nearPlane = 10.0f;
    view.farPlane = std::numeric_limits<float>::max();
    view.fieldOfView = 0.7853975f;
    // Until a window gives its size, assume the smallest display the program runs on.
    view.viewport[2] = 800;
    view.viewport[3] = 600;
    view.aspect = 0.75f;
    PresetCamera(Front, {0, 0, 0}, 1.0f);
}

void RKViewport::SetViewportRect(int x0, int y0, int x1, int y1) {
    view.viewport[0] = x0;
    view.viewport[1] = y0;
    view.viewport[2] = x1 - x0;
    view.viewport[3] = y1 - y0;
    // A window without area (minimised, not laid out yet) keeps the last aspect, so the
    // projection never divides by zero.
    if (view.viewport[2] > 0 && view.viewport[3] > 0) {
        view.aspect = static_cast<float>(view.viewport[3]) / static_cast<float>(view.viewport[2]);
    }
    changed = true;
}

bool RKViewport::PresetCamera(int index, const rkVector& root, float scale) {
    if (index < 0 || index >= PresetCount) return false;
    const PresetPlacement& p = kPresets[index];
    view.eye = {root.x + p.offset.x * scale, root.y + p.offset.y * scale,
                root.z + p.offset.z * scale};
    view.direction = p.direction;
    view.up = p.up;
    return true;
}

bool RKViewport::BuildViewMatrix(rkMatrix* out) {
    return BuildViewMatrix(out, view.eye, &view.direction, view.up);
}

bool RKViewport::BuildViewMatrix(rkMatrix* out, const rkVector& eye, rkVector* direction,
                                 const rkVector& up) {
    return rkBuildViewMatrix(out, eye, direction, up, kSource, __LINE__);
}

void RKViewport::GetProjectionMatrix(rkMatrix* out) const {
    ProjectionMatrix(out, view.nearPlane, view.farPlane, view.fieldOfView, view.aspect);
}

void RKViewport::ProjectionMatrix(rkMatrix* out, float nearPlane, float farPlane, float fieldOfView,
                                  float aspect) {
    rkProjectionMatrix(out, nearPlane, farPlane, fieldOfView, aspect);
}

bool RKViewport::ViewProjection(rkMatrix* out) {
    rkMatrix look, projection;
    BuildViewMatrix(&look);
    GetProjectionMatrix(&projection);
    rkMultiply(out, look, projection);
    return true;
}

bool RKViewport::Unproject(const float (*points)[2], int count, rkVector* out) {
    rkMatrix both, inverse;
    ViewProjection(&both);
    if (!rkInvert(&inverse, both)) return false;
    const float halfWidth = view.viewport[2] / 2.0f, halfHeight = view.viewport[3] / 2.0f;
    for (int i = 0; i < count; ++i) {
        // x is turned over: the device mirrors x in camera space.
        const rkVector ndc = {(halfWidth - points[i][0]) / halfWidth,
                              (halfHeight - points[i][1]) / halfHeight, 0.0f};
        out[i] = rkTransformPoint(ndc, inverse);
        if (!std::isfinite(out[i].x) || !std::isfinite(out[i].y) || !std::isfinite(out[i].z)) {
            return false;  // a window without area, or a camera that sees nothing
        }
    }
    return true;
}

bool RKViewport::Project(const rkVector* points, int count, float (*out)[4]) {
    rkMatrix both;
    ViewProjection(&both);
    const float width = static_cast<float>(view.viewport[2]);
    const float height = static_cast<float>(view.viewport[3]);
    for (int i = 0; i < count; ++i) {
        const rkVector ndc = rkTransformPoint(points[i], both);
        out[i][0] = (1.0f - ndc.x) * width / 2.0f;
        out[i][1] = height - (ndc.y + 1.0f) * height / 2.0f;
        out[i][2] = ndc.z;
        out[i][3] = 1.0f;
        if (!std::isfinite(out[i][0]) || !std::isfinite(out[i][1])) return false;
    }
    return true;
}

}  // namespace tavrel
