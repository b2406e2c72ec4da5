#pragma once
// The camera record of a 3D window: eye, viewing direction and up, a perspective projection
// and a viewport rectangle, with six preset placements around the avatar. Its view record is
// what the render pass starts each frame from.
#include "ZU2/rkMath.h"
#include "ZU2/rkUtil.h"

namespace tavrel {

class RKViewport {
public:
    enum Preset { Front = 0, Back, Left, Right, Up, Down, PresetCount };

    RKViewport();

    // Sets x, y, width and height from two corners, the aspect (height / width) from them,
    // and marks the record changed.
    void SetViewportRect(int x0, int y0, int x1, int y1);
    // Places the camera around the avatar's root position, scaled by the scene scale.
    // False for an index outside 0-5.
    bool PresetCamera(int index, const rkVector& root, float scale);

    rkVector GetEye() const { return view.eye; }
    rkVector GetDirection() const { return view.direction; }
    rkVector GetUp() const { return view.up; }
    void SetEye(float x, float y, float z) { view.eye = {x, y, z}; }
    void SetDirection(float x, float y, float z) { view.direction = {x, y, z}; }
    void SetUp(float x, float y, float z) { view.up = {x, y, z}; }

    // The view matrix of the record; normalises its direction. Identity and false on failure.
    bool BuildViewMatrix(rkMatrix* out);
    static bool BuildViewMatrix(rkMatrix* out, const rkVector& eye, rkVector* direction,
                                const rkVector& up);
    void GetProjectionMatrix(rkMatrix* out) const;
    static void ProjectionMatrix(rkMatrix* out, float nearPlane, float farPlane,
                                 float fieldOfView, float aspect);

    // Window points (x, y) to world points on the near plane; false when the camera cannot
    // be inverted or a point has no finite place.
    bool Unproject(const float (*points)[2], int count, rkVector* out);
    // World points to window x, y, normalised depth and 1: the exact reverse of Unproject,
    // so a point lands where the rendered frame shows it. False when a point has no finite
    // place in the window (it lies in the eye's plane).
    bool Project(const rkVector* points, int count, float (*out)[4]);

    rkView* View() { return &view; }

    bool changed = false;
    rkView view;

private:
    bool ViewProjection(rkMatrix* out);
};

}  // namespace tavrel
