#pragma once
// The camera tools of a 3D window: each turns one mouse motion into a new eye, direction and
// up of the system's camera, keeping the camera's offset to its target. A motion that would
// leave the camera without a finite, usable placement (a window without area, the eye on its
// target, up along the direction) changes nothing.

namespace tavrel {

class CRKSystem;

class RKCameraControl {
public:
    explicit RKCameraControl(CRKSystem& system) : system_(system) {}

    // Tool 1: the world follows the mouse at the target's distance.
    bool Move(float x0, float y0, float x1, float y1);
    // Tool 2: 100 pixels in a window 900 pixels high move the eye 100 units along the
    // direction (right or up is nearer).
    bool Zoom(float x0, float y0, float x1, float y1);
    // Tool 3: a full window width turns once about the up vector through the target; a
    // purely vertical drag turns about direction x up, scaled by the scene scale.
    bool Rotate(float x0, float y0, float x1, float y1);
    // Middle-button orbit: both parts of a drag at once, about the target.
    bool Orbit(float x0, float y0, float x1, float y1);
    // The wheel: notches toward the point under (x, y), a tenth of the target's distance each.
    bool ZoomTowards(float x, float y, float notches);
    // The whole avatar in view, seen along the current direction.
    bool FrameAvatar();
    // Preset camera 0-5 around the avatar.
    bool Preset(int index);

private:
    template <typename Change>
    bool Apply(Change change);
    bool TurnAbout(const float axis[3], float angle);

    CRKSystem& system_;
};

}  // namespace tavrel
