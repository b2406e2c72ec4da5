#include "RKWindow/RKCameraControl.h"

#include <algorithm>
#include <cmath>

#include "RKWindow/RKSystem.h"

namespace tavrel {

namespace {

constexpr float kTwoPi = 6.2831853f;
constexpr float kZoomHeight = 900.0f;  // the window height at which a pixel zooms one unit
constexpr float kWheelShare = 0.1f;

bool Finite(const rkVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// v turned by angle about the unit axis k (Rodrigues).
rkVector Turn(const rkVector& v, const rkVector& k, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return v * c + rkCross(k, v) * s + k * (rkDot(k, v) * (1 - c));
}

// A camera the view matrix can be built from without falling back or failing.
bool Usable(const RKViewport& camera) {
    const rkVector eye = camera.GetEye(), d = camera.GetDirection(), u = camera.GetUp();
    if (!Finite(eye) || !Finite(d) || !Finite(u)) return false;
    const float length = rkLength(d), up = rkLength(u);
    if (length < 1e-6f || up < 1e-6f) return false;
    return rkLength(rkCross(d * (1 / length), u * (1 / up))) > 1e-4f;
}

}  // namespace

template <typename Change>
bool RKCameraControl::Apply(Change change) {
    RKViewport& camera = system_.Camera();
    const rkVector eye = camera.GetEye(), direction = camera.GetDirection(), up = camera.GetUp();
    if (!change(camera) || !Usable(camera)) {
        camera.SetEye(eye.x, eye.y, eye.z);
        camera.SetDirection(direction.x, direction.y, direction.z);
        camera.SetUp(up.x, up.y, up.z);
        return false;
    }
    const rkVector target = system_.TargetPosition(), now = camera.GetEye();
    system_.cameraOffset = now - target;
    return true;
}

bool RKCameraControl::Move(float x0, float y0, float x1, float y1) {
    return Apply([&](RKViewport& camera) {
        const float points[2][2] = {{x0, y0}, {x1, y1}};
        rkVector p[2];
        if (!camera.Unproject(points, 2, p)) return false;
        const rkVector eye = camera.GetEye();
        const float k = rkLength(eye - system_.TargetPosition()) / camera.view.nearPlane;
        const rkVector moved = eye - (p[1] - p[0]) * k;
        camera.SetEye(moved.x, moved.y, moved.z);
        return true;
    });
}

bool RKCameraControl::Zoom(float x0, float y0, float x1, float y1) {
    return Apply([&](RKViewport& camera) {
        const int height = camera.view.viewport[3];
        if (height <= 0) return false;
        const float dx = x1 - x0, dy = y1 - y0;
        const float amount = std::fabs(dx) > std::fabs(dy) ? dx : y0 - y1;
        const rkVector d = rkNormalize(camera.GetDirection());
        const rkVector eye = camera.GetEye() + d * (amount / height * kZoomHeight);
        camera.SetEye(eye.x, eye.y, eye.z);
        return true;
    });
}

bool RKCameraControl::TurnAbout(const float axis[3], float angle) {
    RKViewport& camera = system_.Camera();
    const rkVector k{axis[0], axis[1], axis[2]};
    const float length = rkLength(k);
    if (!(length > 1e-6f) || !std::isfinite(angle)) return false;
    const rkVector unit = k * (1 / length);
    const rkVector target = system_.TargetPosition();
    const rkVector d = Turn(camera.GetDirection(), unit, angle);
    const rkVector u = Turn(camera.GetUp(), unit, angle);
    const rkVector eye = target + Turn(camera.GetEye() - target, unit, angle);
    camera.SetDirection(d.x, d.y, d.z);
    camera.SetUp(u.x, u.y, u.z);
    camera.SetEye(eye.x, eye.y, eye.z);
    return true;
}

bool RKCameraControl::Rotate(float x0, float y0, float x1, float y1) {
    return Apply([&](RKViewport& camera) {
        const int width = camera.view.viewport[2], height = camera.view.viewport[3];
        if (width <= 0 || height <= 0) return false;
        if (x1 == x0) {
            const rkVector axis = rkCross(camera.GetDirection(), camera.GetUp());
            const float a[3] = {axis.x, axis.y, axis.z};
            return TurnAbout(a, (y0 - y1) / height * system_.sceneScale * kTwoPi);
        }
        const rkVector up = camera.GetUp();
        const float a[3] = {up.x, up.y, up.z};
        return TurnAbout(a, (x0 - x1) / width * kTwoPi);
    });
}

bool RKCameraControl::Orbit(float x0, float y0, float x1, float y1) {
    return Apply([&](RKViewport& camera) {
        const int width = camera.view.viewport[2], height = camera.view.viewport[3];
        if (width <= 0 || height <= 0) return false;
        const rkVector up = camera.GetUp();
        const float around[3] = {up.x, up.y, up.z};
        if (x1 != x0 && !TurnAbout(around, (x0 - x1) / width * kTwoPi)) return false;
        const rkVector side = rkCross(camera.GetDirection(), camera.GetUp());
        const float across[3] = {side.x, side.y, side.z};
        return y1 == y0 || TurnAbout(across, (y0 - y1) / height * system_.sceneScale * kTwoPi);
    });
}

bool RKCameraControl::ZoomTowards(float x, float y, float notches) {
    return Apply([&](RKViewport& camera) {
        const int* viewport = camera.view.viewport;
        if (!std::isfinite(notches) || notches == 0 || viewport[2] <= 0 || viewport[3] <= 0) {
            return false;
        }
        const rkVector eye = camera.GetEye();
        const float distance = rkLength(eye - system_.TargetPosition());
        const float step = std::max(distance * kWheelShare, camera.view.nearPlane) * notches;
        // Towards the point under the cursor; along the direction when it has none.
        rkVector toward = rkNormalize(camera.GetDirection());
        const float point[1][2] = {{x, y}};
        rkVector p;
        if (camera.Unproject(point, 1, &p) && rkLength(p - eye) > 1e-6f) {
            toward = rkNormalize(p - eye);
        }
        const rkVector moved = eye + toward * step;
        camera.SetEye(moved.x, moved.y, moved.z);
        return true;
    });
}

bool RKCameraControl::FrameAvatar() {
    const RKFraming& framing = system_.Framing();
    const rkNode* root = system_.AvatarRoot();
    if (framing.IsEmpty() || !root) return false;
    return Apply([&](RKViewport& camera) {
        const rkVector d = rkNormalize(camera.GetDirection());
        const rkVector centre = framing.Centre();
        const rkView& v = camera.view;
        const float distance =
            framing.Distance(centre, d, camera.GetUp(), v.fieldOfView, v.aspect, v.nearPlane);
        const rkVector at = rkOrigin(root->local) + centre;
        const rkVector eye = at - d * distance;
        camera.SetEye(eye.x, eye.y, eye.z);
        return true;
    });
}

bool RKCameraControl::Preset(int index) {
    return system_.PresetCamera(index);
}

}  // namespace tavrel
